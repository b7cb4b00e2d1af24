// getBaseTime and getTimeZone: the PET base time and the local UTC offset, from
// the system's date command run into a temporary file in the working directory.
#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/fd.h"
#include "installroot.h"
#include "ipmipet.h"
#include "provutil.h"

namespace {

/// `path` as one shell word (the installation root may hold any character).
std::string ShellWord(const std::string& path) {
  std::string word = "'";
  for (const char c : path) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  return word + "'";
}

/// Runs "/bin/date ARGS" into a fresh temporary file and hands each line of its
/// output (at most 127 characters) to `take` until it returns true. 0, or the
/// failure codes of getBaseTime.
template <typename Take>
int RunDate(const char* name, const char* prefix, const char* args, const char* runError,
            Take take) {
  char tmpName[64];
  if (createTmpFileName(tmpName, prefix, sizeof(tmpName)) == -1) {
    syslog(LOG_ERR, "ERROR,%s createTmpFileName error", name);
    return -1;
  }
  const std::string command = ShellWord(mgmt::RootPath("/bin/date")) + " " + args;
  if (system_out(command.c_str(), tmpName) != 0) {
    syslog(LOG_ERR, "%s", runError);
    std::remove(tmpName);
    return -2;
  }
  const mgmt::base::UniqueFile file = mgmt::base::OpenFile(tmpName, "r");
  if (!file) {
    std::remove(tmpName);
    return -3;
  }
  char line[128];
  while (std::fgets(line, sizeof(line), file.get()) != nullptr) {
    if (take(line)) break;
  }
  std::remove(tmpName);
  return 0;
}

}  // namespace

int getBaseTime(long* result, int utc) {
  if (result == nullptr) return -1;
  *result = 0;
  const char* args = utc != 0 ? "-u -d \"1998/01/01 00:00\" +%s" : "-d \"1998/01/01 00:00\" +%s";
  return RunDate("getBaseTime", "getBaseTime_", args, "ERROR,getBaseTime() system_out()",
                 [&](const char* line) {
                   char* end = nullptr;
                   const long value = std::strtol(line, &end, 10);
                   if (end == line) return false;
                   *result = value;
                   return true;
                 });
}

int getTimeZone(int* minutes) {
  if (minutes == nullptr) return -1;
  *minutes = 0;
  return RunDate("getTimeZone", "getTimeZone_", "+%z", "ERROR,gettimezone() system_out()",
                 [&](const char* line) {
                   const auto offset = mgmt::selwatch::ParseUtcOffset(line);
                   if (!offset) return false;
                   *minutes = *offset;
                   return true;
                 });
}
