// The module's log: syslog at LOG_ERR, texts beginning "ERROR, " and naming the
// class and operation. Tests can see the lines through a sink.
#ifndef MGMT_PROVIDERS_DMI_DMILOG_H
#define MGMT_PROVIDERS_DMI_DMILOG_H

#include <functional>
#include <string>

namespace mgmt::dmi {

/// Logs one message (its text ends in a newline, as the messages are quoted).
void LogError(const std::string& text);

/// Where messages go besides syslog; an empty function: syslog only. Returns the
/// sink that was in place.
using LogSink = std::function<void(const std::string& text)>;
LogSink SetLogSink(LogSink sink);

}  // namespace mgmt::dmi

#endif
