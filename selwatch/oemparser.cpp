// InitParserLib and CloseParserLib.
#include "oemparser.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/fd.h"
#include "installroot.h"
#include "runstate.h"

OEMPARSERLIBRARY g_ParserLibrary = {nullptr, nullptr};
const char* const confFile = "/usr/local/share/mgmtagent/hmon/hmconfig/SELWATCHModule.conf";

namespace mgmt::selwatch {

std::optional<PluginLine> ParsePluginLine(const char* line, std::string* why) {
  if (why != nullptr) why->clear();
  if (line == nullptr) return std::nullopt;
  // Wide enough to tell an over-long word from one that fits.
  char name[kPluginLineBuffer] = {};
  char path[kPluginLineBuffer] = {};
  if (std::sscanf(line, "LIBRARY: %127s %127s", name, path) != 2) return std::nullopt;
  if (std::strlen(name) > kPluginNameMax) {
    if (why != nullptr) *why = "library name longer than 63 characters";
    return std::nullopt;
  }
  if (std::strlen(path) > kPluginPathMax) {
    if (why != nullptr) *why = "library path longer than 127 characters";
    return std::nullopt;
  }
  if (path[0] != '/') {
    if (why != nullptr) *why = "library path is not absolute";
    return std::nullopt;
  }
  return PluginLine{name, path};
}

bool OwnedByRootOnly(const std::string& path, std::string* why) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (why != nullptr) *why = std::string("cannot stat ") + path + ": " + std::strerror(errno);
    return false;
  }
  if (st.st_uid != 0) {
    if (why != nullptr) *why = path + " does not belong to root";
    return false;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    if (why != nullptr) *why = path + " is writable by group or others";
    return false;
  }
  return true;
}

namespace {

/// Opens the configuration file, a second time after 5 seconds if need be.
base::UniqueFile OpenConfiguration(const std::string& path) {
  base::UniqueFile file = base::OpenFile(path, "r");
  if (file) return file;
  DaemonClock().SleepFor(std::chrono::seconds(5), mainthread_running);
  if (!mainthread_running) return nullptr;
  return base::OpenFile(path, "r");
}

/// The LIBRARY line that decides, or nullopt.
std::optional<PluginLine> FindLibraryLine(FILE* file, const std::string& path) {
  char line[kPluginLineBuffer];
  int number = 0;
  while (std::fgets(line, sizeof(line), file) != nullptr) {
    ++number;
    const size_t length = std::strlen(line);
    if (length == sizeof(line) - 1 && line[length - 1] != '\n' && !std::feof(file)) {
      // Longer than the buffer: what was read is not the whole line (a cut
      // path would name another library). Refused, and its rest passed over.
      syslog(LOG_ERR, "Critical: %s line %d longer than %zu characters; ignored", path.c_str(),
             number, sizeof(line) - 2);
      int c = 0;
      while ((c = std::fgetc(file)) != EOF && c != '\n') {
      }
      continue;
    }
    std::string why;
    auto parsed = ParsePluginLine(line, &why);
    if (parsed) return parsed;
    if (!why.empty())
      syslog(LOG_ERR, "Critical: %s line %d: %s", path.c_str(), number, why.c_str());
  }
  return std::nullopt;
}

}  // namespace

}  // namespace mgmt::selwatch

using namespace mgmt::selwatch;

void InitParserLib(const char* /*modelName*/, OEMPARSERLIBRARY* library) {
  if (library == nullptr) return;
  library->hLibrary = nullptr;
  library->pfnParse = nullptr;

  const std::string configuration = mgmt::RootPath(confFile);
  const mgmt::base::UniqueFile file = OpenConfiguration(configuration);
  if (!file) {
    syslog(LOG_ERR, "Critical: Failed to open configuration file [%s]", confFile);
    return;
  }
  std::string why;
  const bool trusted = OwnedByRootOnly(configuration, &why);
  const auto line = trusted ? FindLibraryLine(file.get(), configuration) : std::nullopt;
  if (!trusted) {
    syslog(LOG_ERR, "Critical: plug-in configuration not used: %s", why.c_str());
    return;
  }
  if (!line) return;  // no plug-in configured

  const std::string resolved = mgmt::RootPath(line->path);
  char real[PATH_MAX];
  if (realpath(resolved.c_str(), real) == nullptr) {
    syslog(LOG_ERR, "Critical: Failed to load library [%s]: %s", line->path.c_str(),
           std::strerror(errno));
    return;
  }
  std::string directory(real);
  directory.erase(directory.find_last_of('/') + 1);
  if (!OwnedByRootOnly(real, &why) || !OwnedByRootOnly(directory, &why)) {
    syslog(LOG_ERR, "Critical: Failed to load library [%s]: %s", line->path.c_str(), why.c_str());
    return;
  }
  void* handle = dlopen(real, RTLD_NOW);
  if (handle == nullptr) {
    syslog(LOG_ERR, "Critical: Failed to load library [%s]: %s", line->path.c_str(), dlerror());
    return;
  }
  void* entry = dlsym(handle, "ParseOEMSystemEventLog");
  if (entry == nullptr) {
    syslog(LOG_ERR, "Critical: Failed to get function entry in library [%s]", line->path.c_str());
    dlclose(handle);
    return;
  }
  library->hLibrary = handle;
  library->pfnParse = reinterpret_cast<ParseOEMSystemEventLogFn>(entry);
  syslog(LOG_INFO, "OEM SEL parser %s loaded from %s", line->name.c_str(), line->path.c_str());
}

void CloseParserLib(OEMPARSERLIBRARY* library) {
  if (library == nullptr || library->hLibrary == nullptr) return;
  dlclose(library->hLibrary);
  library->hLibrary = nullptr;
  library->pfnParse = nullptr;
}
