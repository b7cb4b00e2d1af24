#include "base/fd.h"

#include <unistd.h>

#include <cerrno>

namespace mgmt::base {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
  fd_ = fd;
}

int UniqueFd::Close() {
  const int fd = Release();
  return fd < 0 ? 0 : ::close(fd);
}

UniqueFile OpenFile(const std::string& path, const char* mode) {
  std::string withCloexec(mode);
  if (withCloexec.find('e') == std::string::npos) withCloexec += 'e';
  return UniqueFile(std::fopen(path.c_str(), withCloexec.c_str()));
}

UniqueDir OpenDir(const std::string& path) {
  // glibc's opendir opens with O_CLOEXEC already.
  return UniqueDir(::opendir(path.c_str()));
}

}  // namespace mgmt::base
