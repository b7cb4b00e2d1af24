// Helpers of the performance-counter tests: fixture roots under MGMTAGENT_ROOT and
// throw-away roots for single-file cases.
#ifndef MGMT_TESTS_PERF_TEST_UTIL_H
#define MGMT_TESTS_PERF_TEST_UTIL_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace perftest {

/// A fixture tree of this folder: "linux24" or "current".
inline std::string FixtureRoot(const std::string& name) {
  return std::string(MGMT_SOURCE_DIR) + "/tests/providers/perf/fixtures/" + name;
}

/// Points MGMTAGENT_ROOT at `root` for the lifetime of the object.
class ScopedRoot {
 public:
  explicit ScopedRoot(const std::string& root) {
    if (const char* old = std::getenv("MGMTAGENT_ROOT")) old_ = old;
    setenv("MGMTAGENT_ROOT", root.c_str(), 1);
  }
  ~ScopedRoot() {
    if (old_) {
      setenv("MGMTAGENT_ROOT", old_->c_str(), 1);
    } else {
      unsetenv("MGMTAGENT_ROOT");
    }
  }
  ScopedRoot(const ScopedRoot&) = delete;
  ScopedRoot& operator=(const ScopedRoot&) = delete;

 private:
  std::optional<std::string> old_;
};

/// An empty root in a fresh temporary directory, removed with the object; files are
/// added with write(). Makes itself the installation root.
class TempRoot {
 public:
  TempRoot() : dir_(MakeDir()), scope_(dir_.string()) {}
  ~TempRoot() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  /// Writes `content` to the absolute path `path` inside the root.
  void write(const std::string& path, const std::string& content) const {
    const std::filesystem::path target = dir_ / std::filesystem::path(path).relative_path();
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << content;
  }

  const std::filesystem::path& dir() const { return dir_; }

 private:
  static std::filesystem::path MakeDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "perfroot.XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return templ;
  }
  std::filesystem::path dir_;
  ScopedRoot scope_;
};

}  // namespace perftest

#endif
