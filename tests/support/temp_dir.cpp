#include "support/temp_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace mgmt::test {

namespace fs = std::filesystem;

fs::path SourceDir() { return MGMT_TESTSUPPORT_SOURCE_DIR; }
fs::path BinaryDir() { return MGMT_TESTSUPPORT_BINARY_DIR; }
fs::path SourcePath(const fs::path& relative) { return SourceDir() / relative; }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, std::string_view content) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir(std::string_view prefix) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  std::string pattern = (base / (std::string(prefix) + ".XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  const char* keep = std::getenv("MGMT_TEST_KEEP");
  if (keep != nullptr && *keep != '\0' && std::string_view(keep) != "0") return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempDir::operator/(const fs::path& relative) const {
  return path_ / relative.relative_path();
}

fs::path TempDir::Write(const fs::path& relative, std::string_view content) const {
  const fs::path target = *this / relative;
  WriteFile(target, content);
  return target;
}

std::string TempDir::Read(const fs::path& relative) const { return ReadFile(*this / relative); }

bool TempDir::Exists(const fs::path& relative) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(*this / relative, ec));
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) saved_ = old;
  if (value) {
    ::setenv(name_.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (saved_) {
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedCwd::ScopedCwd(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }

ScopedCwd::~ScopedCwd() {
  std::error_code ignored;
  fs::current_path(saved_, ignored);
}

TempRoot::TempRoot(std::string_view prefix)
    : TempDir(prefix), root_("MGMTAGENT_ROOT", Path().string()) {}

}  // namespace mgmt::test
