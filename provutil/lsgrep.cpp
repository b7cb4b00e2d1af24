#include <dirent.h>

#include <cstring>
#include <string>

#include "base/fd.h"
#include "installroot.h"
#include "provutil.h"

extern "C" int n_ls_grep(const char* dir, const char* pattern, int mode) {
  if (dir == nullptr || pattern == nullptr) return -1;
  const mgmt::base::UniqueDir listing = mgmt::base::OpenDir(mgmt::RootPath(dir));
  if (!listing) return -1;

  const bool wantMatch = mode == 0;
  int count = 0;
  while (const dirent* entry = readdir(listing.get())) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if ((std::strstr(name, pattern) != nullptr) == wantMatch) ++count;
  }
  return count;
}
