#include "SM_Bus.h"

#include <dirent.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "DmiLog.h"
#include "DmiText.h"
#include "installroot.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::CutUtf8;

constexpr std::size_t kPathText = 128;
constexpr std::size_t kDeviceIdText = 1024;
constexpr std::size_t kCaptionText = 128;

// The names in `path` (resolved through the installation root), sorted with
// alphasort as scandir gives them; nullopt when it cannot be listed.
std::optional<std::vector<std::string>> SortedNames(const std::string& path) {
  dirent** list = nullptr;
  const int count = scandir(mgmt::RootPath(path).c_str(), &list, nullptr, alphasort);
  if (count < 0) return std::nullopt;
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    names.emplace_back(list[i]->d_name);
    std::free(list[i]);
  }
  std::free(list);
  return names;
}

bool AllDigits(std::string_view text, bool hexadecimal) {
  if (text.empty()) return false;
  for (const char c : text) {
    const int digit = static_cast<unsigned char>(c);
    if (!(hexadecimal ? std::isxdigit(digit) : std::isdigit(digit))) return false;
  }
  return true;
}

}  // namespace

bool IsBusEntry(std::string_view bus, std::string_view entry) {
  if (bus != "pci") return AllDigits(entry, false);
  const auto colon = entry.find(':');
  if (colon == std::string_view::npos) return AllDigits(entry, true);
  return AllDigits(entry.substr(0, colon), true) && AllDigits(entry.substr(colon + 1), true);
}

void SM_Bus::initialize(CIMOMHandle&) { searchSysBus(); }

void SM_Bus::terminate() {}

int SM_Bus::searchSysBus() {
  const auto names = SortedNames("/proc/bus");
  if (!names) {
    mgmt::dmi::LogError("ERROR, SM_Bus::searchSysBus(): error\n");
    return -1;
  }
  for (const auto& name : *names) {
    if (name == "." || name == "..") continue;
    std::string bus = name;
    searchSubBus(bus.data());
  }
  return 0;
}

int SM_Bus::searchSubBus(char* bus) {
  const std::string path = CutUtf8("/proc/bus/" + std::string(bus), kPathText - 1);
  const auto names = SortedNames(path);
  if (!names) {
    mgmt::dmi::LogError("ERROR, SM_Bus::searchSubBus(): error\n");
    return -1;
  }
  const std::string hostName = mgmt::dmi::HostName();
  for (const auto& entry : *names) {
    if (!IsBusEntry(bus, entry)) continue;
    CIMInstance instance(CIMName("SM_Bus"));
    const std::string caption = CutUtf8(std::string(bus) + " bus " + entry, kCaptionText - 1);
    AddString(instance, "CreationClassName", "SM_BUS");
    AddString(instance, "DeviceID", CutUtf8(std::string(bus) + "_" + entry, kDeviceIdText - 1));
    AddString(instance, "SystemCreationClassName", "SM_BUS");
    AddString(instance, "SystemName", hostName);
    AddString(instance, "Name", "Bus");
    AddString(instance, "Caption", caption);
    AddString(instance, "Description", caption);
    Append(instance, {"CreationClassName", "DeviceID", "SystemCreationClassName", "SystemName"});
  }
  return 0;
}

}  // namespace Pegasus
