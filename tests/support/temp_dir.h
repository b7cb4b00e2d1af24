// Scratch space for tests: temporary directories removed with everything in
// them, fixture roots that become the installation root (MGMTAGENT_ROOT) while
// they live, environment and working-directory changes undone on scope exit,
// and the source and build trees of this build.
#ifndef MGMT_TESTS_SUPPORT_TEMP_DIR_H
#define MGMT_TESTS_SUPPORT_TEMP_DIR_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mgmt::test {

/// The source tree and the build tree this test program was built from.
std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();
/// A path below the source tree, e.g. SourcePath("mof/classes").
std::filesystem::path SourcePath(const std::filesystem::path& relative);

/// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);
/// Writes `content` to `path`, making missing parent folders; throws
/// std::runtime_error when the file cannot be written.
void WriteFile(const std::filesystem::path& path, std::string_view content);

/// A fresh directory under $TMPDIR (or /tmp), removed with everything in it by
/// the destructor. Set MGMT_TEST_KEEP=1 to keep it for a look after a failure.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "mgmt-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// `relative` below the directory; a leading '/' is ignored, so absolute
  /// paths of the system name their place inside a fixture root.
  std::filesystem::path operator/(const std::filesystem::path& relative) const;

  /// Writes a file below the directory (making its folders); returns its path.
  std::filesystem::path Write(const std::filesystem::path& relative,
                              std::string_view content) const;
  std::string Read(const std::filesystem::path& relative) const;
  /// Whether anything (also a dangling link) has this name.
  bool Exists(const std::filesystem::path& relative) const;

 private:
  std::filesystem::path path_;
};

/// Sets (or, with std::nullopt, unsets) an environment variable and restores
/// its previous state on destruction.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

/// Makes `dir` the working directory until destruction.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir);
  ~ScopedCwd();
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

 private:
  std::filesystem::path saved_;
};

/// Makes `root` the installation root (MGMTAGENT_ROOT) until destruction.
class ScopedRoot : public ScopedEnv {
 public:
  explicit ScopedRoot(const std::filesystem::path& root)
      : ScopedEnv("MGMTAGENT_ROOT", root.string()) {}
};

/// An empty installation root in a fresh temporary directory that is
/// MGMTAGENT_ROOT while the object lives; fill it with Write("/proc/stat", ...).
class TempRoot : public TempDir {
 public:
  explicit TempRoot(std::string_view prefix = "mgmt-root");

 private:
  ScopedEnv root_;
};

}  // namespace mgmt::test

#endif
