#include <cstdio>
#include <string>

#include "base/fd.h"
#include "installroot.h"
#include "provutil.h"

extern "C" int s_cat(const char* path, char* buf, int size) {
  if (buf == nullptr || size <= 0) return 0;
  buf[0] = '\0';
  if (path == nullptr) return 0;

  const mgmt::base::UniqueFile file = mgmt::base::OpenFile(mgmt::RootPath(path), "r");
  if (!file) return 0;

  const std::size_t room = static_cast<std::size_t>(size) - 1;
  std::size_t got = 0;
  while (got < room) {
    const std::size_t n = std::fread(buf + got, 1, room - got, file.get());
    if (n == 0) break;
    got += n;
  }
  if (std::ferror(file.get()) != 0) {
    buf[0] = '\0';
    return 0;
  }
  buf[got] = '\0';
  return 1;
}
