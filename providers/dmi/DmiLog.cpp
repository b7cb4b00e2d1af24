#include "DmiLog.h"

#include <syslog.h>

#include <mutex>
#include <utility>

namespace mgmt::dmi {
namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink& Sink() {
  static LogSink sink;
  return sink;
}

}  // namespace

void LogError(const std::string& text) {
  syslog(LOG_ERR, "%s", text.c_str());
  const std::lock_guard lock(SinkMutex());
  if (Sink()) Sink()(text);
}

LogSink SetLogSink(LogSink sink) {
  const std::lock_guard lock(SinkMutex());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace mgmt::dmi
