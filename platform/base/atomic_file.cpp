#include "base/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>

#include "base/fd.h"
#include "base/fdio.h"

namespace mgmt::base {
namespace {

/// Hops of symbolic links followed before giving up (as the kernel's limit).
constexpr int kMaxLinkHops = 40;
/// Attempts at a free sibling name before giving up.
constexpr int kMaxNameTries = 100;

std::atomic<unsigned> g_siblingCounter{0};

struct SplitPath {
  std::string dir;   ///< "" for the working directory, else ending in '/'
  std::string name;  ///< the last component
};

SplitPath Split(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string DirectoryOf(const std::string& path) {
  std::string dir = Split(path).dir;
  if (dir.empty()) return ".";
  if (dir == "/") return dir;
  return dir.substr(0, dir.size() - 1);
}

/// The file a chain of symbolic links ends at (which need not exist yet: writing
/// through a dangling link creates its target).
bool FollowLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX];
    const ssize_t len = ::readlink(path.c_str(), target, sizeof target - 1);
    if (len < 0) return false;
    target[len] = '\0';
    path = target[0] == '/' ? std::string(target) : Split(path).dir + target;
  }
  errno = ELOOP;
  return false;
}

std::string SiblingName(const SplitPath& target, pid_t pid, unsigned counter) {
  return target.dir + "." + target.name + "." + std::to_string(pid) + "." +
         std::to_string(counter) + ".tmp";
}

/// The writer's process id when `entry` is a sibling of `name` in our naming
/// (".NAME.PID.N.tmp"), else 0.
pid_t SiblingOwner(std::string_view entry, std::string_view name) {
  if (entry.size() <= name.size() + 2 || entry[0] != '.' || entry.substr(1, name.size()) != name ||
      entry[name.size() + 1] != '.')
    return 0;
  std::string_view rest = entry.substr(name.size() + 2);
  constexpr std::string_view kSuffix = ".tmp";
  if (rest.size() <= kSuffix.size() || rest.substr(rest.size() - kSuffix.size()) != kSuffix)
    return 0;
  rest.remove_suffix(kSuffix.size());
  const auto dot = rest.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size()) return 0;
  pid_t pid = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + dot, pid);
  if (ec != std::errc() || end != rest.data() + dot || pid <= 0) return 0;
  for (const char c : rest.substr(dot + 1))
    if (c < '0' || c > '9') return 0;
  return pid;
}

bool ProcessAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

/// Removes siblings of `target` that a writer killed between create and rename
/// left behind. A live process's sibling (another writer busy right now, this
/// process's other threads included) is never touched.
void RemoveStaleSiblings(const SplitPath& target) {
  const std::string dirPath = target.dir.empty() ? "." : target.dir;
  const UniqueDir dir = OpenDir(dirPath);
  if (!dir) return;
  const int saved = errno;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir.get())) {
    const pid_t owner = SiblingOwner(entry->d_name, target.name);
    if (owner == 0 || owner == self || ProcessAlive(owner)) continue;
    ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
  }
  errno = saved;
}

/// Creates a fresh sibling of `target`; its descriptor, and its name in `name`.
UniqueFd CreateSibling(const SplitPath& target, mode_t mode, std::string& name) {
  for (int i = 0; i < kMaxNameTries; ++i) {
    name = SiblingName(target, ::getpid(), g_siblingCounter.fetch_add(1));
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.Valid() || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

void SyncDirectory(const std::string& target) {
  const UniqueFd dir(::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid()) ::fsync(dir.Get());
}

/// Gives the written sibling the original's owner and mode (or the forced mode).
bool TakeOver(int fd, const struct stat* original, const ReplaceOptions& options) {
  if (original != nullptr && ::fchown(fd, original->st_uid, original->st_gid) != 0) {
    // Without the right to give the file away, keep going only when the owner
    // would not change anyway (a file of our own).
    const int err = errno;
    struct stat now {};
    if (::fstat(fd, &now) != 0 || now.st_uid != original->st_uid ||
        now.st_gid != original->st_gid) {
      errno = err;
      return false;
    }
  }
  if (options.mode) return ::fchmod(fd, *options.mode) == 0;
  if (original != nullptr) return ::fchmod(fd, original->st_mode & 07777) == 0;
  return true;
}

}  // namespace

int ReplaceFileContents(const std::string& path, std::string_view contents,
                        const ReplaceOptions& options) {
  std::string target = path;
  if (target.empty()) {
    errno = ENOENT;
    return -1;
  }
  if (!FollowLinks(target)) return -1;

  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && !S_ISREG(original.st_mode)) {
    errno = S_ISDIR(original.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  const SplitPath split = Split(target);
  RemoveStaleSiblings(split);

  // A new file is created with the mode a plain create gives; one that replaces a
  // file starts private and then takes the original's.
  std::string sibling;
  UniqueFd fd = CreateSibling(split, exists || options.mode ? 0600 : options.modeIfNew, sibling);
  if (!fd.Valid()) return -1;

  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(contents.data()),
                                       contents.size());
  bool ok = WriteFull(fd.Get(), bytes) == 0 && ::fsync(fd.Get()) == 0 &&
            TakeOver(fd.Get(), exists ? &original : nullptr, options);
  ok = fd.Close() == 0 && ok;
  ok = ok && ::rename(sibling.c_str(), target.c_str()) == 0;
  if (!ok) {
    const int err = errno;
    ::unlink(sibling.c_str());
    errno = err;
    return -1;
  }
  SyncDirectory(target);
  return 0;
}

}  // namespace mgmt::base
