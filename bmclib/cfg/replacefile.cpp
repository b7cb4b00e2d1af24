#include "replacefile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace cfgstore {
namespace {

/// Hops of symbolic links followed before giving up (as the kernel's limit).
constexpr int kMaxLinkHops = 40;
/// Attempts at a free sibling name before giving up.
constexpr int kMaxNameTries = 100;

std::atomic<unsigned> g_siblingCounter{0};

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

/// The file a chain of symbolic links ends at (which need not exist yet: the
/// flush of a dangling link creates its target, as writing through it would).
bool FollowLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX];
    const ssize_t len = readlink(path.c_str(), target, sizeof target - 1);
    if (len < 0) return false;
    target[len] = '\0';
    path = target[0] == '/' ? std::string(target) : DirectoryOf(path) + "/" + target;
  }
  return false;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const { return fd_; }
  /// Closes now, reporting the error a deferred write may only show here.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

/// Creates a fresh sibling of `target` and returns its descriptor and name.
int CreateSibling(const std::string& target, mode_t mode, std::string& name) {
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int i = 0; i < kMaxNameTries; ++i) {
    name = dir + "." + base + "." + std::to_string(getpid()) + "." +
           std::to_string(g_siblingCounter.fetch_add(1)) + ".tmp";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void SyncDirectory(const std::string& target) {
  const Fd dir(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view content) {
  std::string target = path;
  if (!FollowLinks(target)) return false;

  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && !S_ISREG(original.st_mode)) return false;

  // A new file is created with the mode a plain create gives (umask applied);
  // one that replaces a file starts private and then takes the original's.
  std::string sibling;
  Fd fd(CreateSibling(target, exists ? 0600 : 0666, sibling));
  if (fd.get() < 0) return false;

  bool ok = WriteAll(fd.get(), content) && ::fsync(fd.get()) == 0;
  if (ok && exists) {
    if (::fchown(fd.get(), original.st_uid, original.st_gid) != 0) {
      // Without the right to give the file away, keep going only when the
      // owner would not change anyway (a file of our own).
      struct stat now {};
      ok = ::fstat(fd.get(), &now) == 0 && now.st_uid == original.st_uid &&
           now.st_gid == original.st_gid;
    }
    ok = ok && ::fchmod(fd.get(), original.st_mode & 07777) == 0;
  }
  ok = fd.close() && ok;
  ok = ok && ::rename(sibling.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(sibling.c_str());
    return false;
  }
  SyncDirectory(target);
  return true;
}

}  // namespace cfgstore
