#include "ModuleLibrary.h"

#include <dlfcn.h>

#include <stdexcept>

namespace mgmt::cimom {

ModuleLibrary::ModuleLibrary(const std::filesystem::path& file) : file_(file) {
  // RTLD_LOCAL keeps one module's symbols from satisfying another's; the broker
  // library they all link is shared through the normal dependency mechanism.
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw std::runtime_error("cannot load " + file.string() + ": " + (why ? why : "unknown error"));
  }
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

ProviderFactoryFn ModuleLibrary::Factory() const {
  dlerror();
  void* symbol = dlsym(handle_, "PegasusCreateProvider");
  if (symbol == nullptr) {
    throw std::runtime_error(file_.string() + ": entry point not found (PegasusCreateProvider)");
  }
  return reinterpret_cast<ProviderFactoryFn>(symbol);
}

std::shared_ptr<ModuleLibrary> ModuleCache::Open(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> guard(lock_);
  std::string key = file.string();
  if (auto existing = open_[key].lock()) return existing;
  auto module = std::make_shared<ModuleLibrary>(file);
  open_[key] = module;
  return module;
}

}  // namespace mgmt::cimom
