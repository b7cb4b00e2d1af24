#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace mgmt::imbd {
namespace {
std::atomic<bool> g_toStderr{true};
std::atomic<bool> g_toSyslog{false};
std::atomic<void (*)(int, const char*)> g_capture{nullptr};
}  // namespace

void SetLogCapture(void (*capture)(int priority, const char* line)) { g_capture = capture; }

void SetLogSinks(bool toStderr, bool toSyslog) {
  g_toStderr = toStderr;
  g_toSyslog = toSyslog;
}

void Log(int priority, const char* format, ...) {
  static const bool kDebug = std::getenv("IMBD_DEBUG") != nullptr;
  const auto capture = g_capture.load();
  if (priority == LOG_DEBUG && !kDebug && capture == nullptr) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  if (capture != nullptr) capture(priority, line);
  if (priority == LOG_DEBUG && !kDebug) return;
  if (g_toStderr) std::fprintf(stderr, "imbd: %s\n", line);
  if (g_toSyslog) syslog(priority, "%s", line);
}

}  // namespace mgmt::imbd
