#include "StorageFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "base/fd.h"
#include "installroot.h"

namespace mgmt::storage {

std::optional<std::string> ReadTextFile(const std::string& systemPath) {
  const base::UniqueFile file = base::OpenFile(RootPath(systemPath), "r");
  if (!file) return std::nullopt;
  std::string text;
  char buf[4096];
  for (;;) {
    const std::size_t n = std::fread(buf, 1, sizeof buf, file.get());
    if (n == 0) break;
    if (text.size() + n > kMaxTextFile) return std::nullopt;
    text.append(buf, n);
  }
  if (std::ferror(file.get()) != 0) return std::nullopt;
  return text;
}

std::optional<std::string> ReadLinkText(const std::string& systemPath) {
  const std::string resolved = RootPath(systemPath);
  char buf[4096];
  const ssize_t n = readlink(resolved.c_str(), buf, sizeof buf);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return std::nullopt;
  return std::string(buf, static_cast<std::size_t>(n));
}

std::vector<std::string> ListFolder(const std::string& systemPath) {
  std::vector<std::string> names;
  const base::UniqueDir dir = base::OpenDir(RootPath(systemPath));
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsFolder(const std::string& systemPath) {
  struct stat st {};
  return stat(RootPath(systemPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace mgmt::storage
