// Owners of descriptors, stdio streams and directory streams, and the openers that
// give them out close-on-exec (a child the agent runs must not inherit them).
#ifndef MGMT_BASE_FD_H
#define MGMT_BASE_FD_H

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <string>

namespace mgmt::base {

/// Owns one file descriptor and closes it on destruction. Move-only.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  [[nodiscard]] int Get() const { return fd_; }
  [[nodiscard]] bool Valid() const { return fd_ >= 0; }
  /// Gives the descriptor up without closing it.
  [[nodiscard]] int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  /// Closes the descriptor held (if any) and takes `fd`. errno is left as it was,
  /// so a caller may close on an error path and still report the error.
  void Reset(int fd = -1);
  /// Closes now and reports what close(2) said: 0, or -1 with errno set. A write
  /// deferred by the file system (NFS, a full disk) may only fail here.
  int Close();

 private:
  int fd_ = -1;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

/// fopen(3) with close-on-exec added to `mode` ("r", "rb", "w", ...). Null with
/// errno set when the file cannot be opened. `path` is used as it is: callers
/// resolve it through the installation root first.
UniqueFile OpenFile(const std::string& path, const char* mode);

/// opendir(3) (close-on-exec); null with errno set.
UniqueDir OpenDir(const std::string& path);

}  // namespace mgmt::base

#endif
