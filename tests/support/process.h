// Programs started by tests: one-shot runs with their output captured and a time
// limit, and long-running children (servers, daemons) that are always stopped
// and reaped, also when a test fails half-way. Argument vectors only, never a
// shell; children get no descriptors of the test but the ones given to them.
#ifndef MGMT_TESTS_SUPPORT_PROCESS_H
#define MGMT_TESTS_SUPPORT_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mgmt::test {

/// The environment of a child: the test's own with changes, or only the given
/// variables. Entries are "NAME=value" (set) or "NAME" (removed).
struct Environment {
  bool inherit = true;
  std::vector<std::string> changes;
};

struct RunOptions {
  std::string input;                                            ///< written to standard input
  std::chrono::milliseconds timeout{std::chrono::seconds(60)};  ///< then SIGKILL
  bool mergeStderr = false;  ///< standard error into `out` (in order) instead of `err`
  Environment env;
  std::filesystem::path cwd;  ///< empty: the test's working directory
};

struct RunResult {
  /// Exit code; 128 + signal number when a signal ended it; -1 when it could
  /// not be started (the reason is in `err`).
  int status = -1;
  bool timedOut = false;  ///< killed at the time limit
  std::string out;
  std::string err;

  bool Ok() const { return status == 0 && !timedOut; }
};

/// Runs a program (looked up in PATH when `argv[0]` has no '/') to completion.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

/// Where a child's standard output or error goes.
struct Output {
  enum class Kind { kInherit, kNull, kFile, kPipe };
  Kind kind = Kind::kNull;
  std::filesystem::path file;  ///< kFile: created or truncated

  static Output Inherit() { return {Kind::kInherit, {}}; }
  static Output Null() { return {Kind::kNull, {}}; }
  static Output File(std::filesystem::path path) { return {Kind::kFile, std::move(path)}; }
  /// Standard output only: read with ChildProcess::ReadLine.
  static Output Pipe() { return {Kind::kPipe, {}}; }
};

struct SpawnOptions {
  Output out = Output::Null();
  Output err = Output::Null();
  Environment env;
  std::filesystem::path cwd;
};

/// A child process that lives at most as long as this object: the destructor
/// sends SIGTERM, waits a little, then SIGKILL, and reaps it.
class ChildProcess {
 public:
  /// Throws std::runtime_error when the program cannot be started.
  explicit ChildProcess(const std::vector<std::string>& argv, const SpawnOptions& options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  /// Whether it has not ended yet (an ended child is reaped here).
  bool Running();
  /// Its status (as RunResult::status) once it ended within `timeout`.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  /// Sends `signal`, waits up to `grace`, then kills it; returns its status
  /// (128 + SIGKILL when it had to be killed). Further calls return the same.
  int Stop(int signal = SIGTERM, std::chrono::milliseconds grace = std::chrono::seconds(10));
  /// One line of piped standard output without its newline; std::nullopt at
  /// end of output or when no whole line came within `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  int outFd_ = -1;
  std::string pending_;
};

}  // namespace mgmt::test

#endif
