#include "HostFixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace cimomtest {
namespace {

struct TempClassDir {
  mgmt::test::TempDir tmp{"cimom-classes"};
  fs::path dir = tmp.Path();
  TempClassDir() {
    for (const auto& entry : fs::directory_iterator(CIMOM_MOF_DIR)) {
      if (entry.path().extension() == ".mof")
        fs::copy_file(entry.path(), dir / entry.path().filename());
    }
    fs::copy_file(fs::path(CIMOM_TEST_FIXTURES) / "classes" / "Test.mof", dir / "Test.mof");
  }
};

}  // namespace

const fs::path& TestClassDir() {
  static TempClassDir classes;
  return classes.dir;
}

std::string ModuleLifecycle() {
  // Our own reference keeps the module (and its counters) loaded across the
  // host's dlclose.
  static void* handle =
      dlopen((std::string(CIMOM_TEST_MODULE_DIR) + "/libCimomTestProvider.so").c_str(),
             RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return "module not loadable";
  auto fn = reinterpret_cast<const char* (*)()>(dlsym(handle, "TestProviderLifecycle"));
  return fn ? fn() : "no lifecycle hook";
}

mgmt::cimom::HostConfig HostFixture::Config() {
  mgmt::cimom::HostConfig c;
  c.classDir = TestClassDir();
  c.registrationDir = fs::path(CIMOM_TEST_FIXTURES) / "registrations";
  c.moduleDirs = {CIMOM_TEST_MODULE_DIR};
  c.log = [this](int, std::string_view line) {
    std::lock_guard<std::mutex> guard(logLock_);
    log_.emplace_back(line);
  };
  return c;
}

void HostFixture::SetUp() {
  ModuleLifecycle();
  host_ = std::make_unique<mgmt::cimom::ProviderHost>(Config());
  host_->Start();
}

void HostFixture::TearDown() { host_.reset(); }

std::string HostFixture::LogText() {
  std::lock_guard<std::mutex> guard(logLock_);
  std::string out;
  for (const auto& line : log_) out += line + "\n";
  return out;
}

}  // namespace cimomtest
