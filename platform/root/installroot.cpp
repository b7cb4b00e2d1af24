#include "installroot.h"

#include <cstdlib>
#include <cstring>

namespace mgmt {

std::string InstallRoot() {
  const char* env = std::getenv("MGMTAGENT_ROOT");
  if (env == nullptr || *env == '\0') return {};
  std::string root(env);
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root == "/") return {};
  return root;
}

std::string RootPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::string(path);
  return InstallRoot() + std::string(path);
}

}  // namespace mgmt

extern "C" const char* MgmtPath(const char* path, char* buf, size_t size) {
  if (buf == nullptr || size == 0) return nullptr;
  buf[0] = '\0';
  if (path == nullptr) return nullptr;
  const std::string resolved = mgmt::RootPath(path);
  if (resolved.size() + 1 > size) return nullptr;
  std::memcpy(buf, resolved.c_str(), resolved.size() + 1);
  return buf;
}
