#include "platformmodel.h"

#include <strings.h>

#include <mutex>
#include <optional>

#include "smbapi.h"

namespace mgmt::bmc {
namespace {

std::mutex gMutex;
std::function<std::string()> gSource;
std::optional<std::string> gModel;

// smbiosinfo's product name, trimmed; empty when the platform cannot tell.
std::string PlatformSource() {
  char model[mgmt::smbapi::kToolOutputSize] = {};
  mgmt::smbapi::GetModelName_Trimed(model);
  return model;
}

}  // namespace

std::string PlatformModel() {
  std::lock_guard lock(gMutex);
  if (!gModel) gModel = gSource ? gSource() : PlatformSource();
  return *gModel;
}

bool ModelIs(std::string_view name) {
  const std::string model = PlatformModel();
  return model.size() == name.size() && strncasecmp(model.data(), name.data(), name.size()) == 0;
}

bool ModelStartsWith(std::string_view prefix) {
  const std::string model = PlatformModel();
  return model.size() >= prefix.size() &&
         strncasecmp(model.data(), prefix.data(), prefix.size()) == 0;
}

void SetPlatformModelSource(std::function<std::string()> source) {
  std::lock_guard lock(gMutex);
  gSource = std::move(source);
  gModel.reset();
}

}  // namespace mgmt::bmc
