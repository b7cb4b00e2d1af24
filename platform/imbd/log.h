// imbd's log: standard error (it runs in the foreground) and syslog.
#ifndef MGMT_IMBD_LOG_H
#define MGMT_IMBD_LOG_H

#include <syslog.h>

namespace mgmt::imbd {

/// Where log lines go. Tests that run the server in-process turn both off.
void SetLogSinks(bool toStderr, bool toSyslog);

/// Also hands every line (debug lines included) to `capture`; null removes it.
/// For tests that check what the daemon reports.
void SetLogCapture(void (*capture)(int priority, const char* line));

/// Logs one line at a syslog priority (LOG_ERR, LOG_WARNING, LOG_INFO, LOG_DEBUG).
/// Debug lines go to standard error only when IMBD_DEBUG is set.
void Log(int priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace mgmt::imbd

#endif
