// Starting outside programs: an argument vector started with posix_spawn (never
// a shell, nothing but system calls between fork and exec, so it is safe beside
// other threads), standard streams from /dev/null, the caller's, a descriptor or
// a pipe, optional text on standard input, captured output, a time limit after
// which the child is stopped, and the child always reaped. The child gets default
// signal handling, an empty signal mask and no descriptor of the caller's but the
// ones given to it, whatever the caller left without close-on-exec.
#ifndef MGMT_BASE_SPAWN_H
#define MGMT_BASE_SPAWN_H

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/fd.h"

namespace mgmt::base {

/// Where one standard stream of the child comes from or goes to.
struct StdStream {
  enum class Kind { kNull, kInherit, kCapture, kFd };
  Kind kind = Kind::kNull;
  int fd = -1;  ///< kFd: the caller's descriptor (the caller keeps owning it)

  static StdStream Null() { return {Kind::kNull, -1}; }
  static StdStream Inherit() { return {Kind::kInherit, -1}; }
  /// Output only: collected into ChildResult::out / err.
  static StdStream Capture() { return {Kind::kCapture, -1}; }
  static StdStream Fd(int fd) { return {Kind::kFd, fd}; }
};

/// A descriptor of the caller's given to the child under number `as` (>= 3).
struct ExtraFd {
  int fd = -1;
  int as = -1;
};

struct ChildOptions {
  /// The program file; empty: argv[0], looked up in PATH when it has no '/'.
  std::string path;
  /// Fed to standard input, followed by end of file; when absent, `in` applies.
  std::optional<std::string> input;
  StdStream in = StdStream::Null();  ///< kCapture is not allowed here
  StdStream out = StdStream::Null();
  StdStream err = StdStream::Null();
  std::vector<ExtraFd> extraFds;
  /// The whole environment ("NAME=value" entries); absent: this process's own.
  std::optional<std::vector<std::string>> environment;
  /// Zero: no limit. Counted from the start; then the child is stopped.
  std::chrono::milliseconds timeLimit{0};
  /// How a child is stopped: SIGTERM and up to this long to end, then SIGKILL.
  /// Zero: SIGKILL at once.
  std::chrono::milliseconds termGrace{0};
  /// The child leads a process group of its own, and stopping it signals the
  /// whole group, so whatever it started ends with it.
  bool ownProcessGroup = false;
  /// Most bytes captured (standard output and error together); a child that
  /// writes more is stopped and ChildResult::outputOverflow set. Zero: no cap.
  std::size_t outputLimit = 0;
  /// Started in a session of its own by an intermediate child that ends at
  /// once, so the program belongs to init: never waited for, never a zombie of
  /// ours. RunChild returns once it is executed. Needs a `path` (or argv[0])
  /// with a '/', `input` of at most PIPE_BUF bytes, no capture and no limit.
  bool detached = false;
};

struct ChildResult {
  bool started = false;
  /// errno value when the program could not be started (or a run failed).
  int error = 0;
  /// What failed when `error` is set ("exec", "pipe", "fork", ...).
  std::string failedStep;
  int waitStatus = 0;           ///< as waitpid gives it, once reaped
  bool timedOut = false;        ///< stopped at the time limit
  bool outputOverflow = false;  ///< stopped for writing more than outputLimit
  std::string out;
  std::string err;

  /// Ended by itself with exit(): the status, else -1.
  [[nodiscard]] int ExitCode() const;
  /// The signal that ended it, else 0.
  [[nodiscard]] int TermSignal() const;
  /// "<failedStep>: <strerror(error)>", empty when nothing failed.
  [[nodiscard]] std::string ErrorText() const;
};

/// A started child, reaped at the latest by the destructor (which stops one still
/// running as the options say). Move-only.
class Child {
 public:
  Child() = default;
  /// Starts `argv`; Started() tells whether it runs (Result() holds the error).
  Child(const std::vector<std::string>& argv, const ChildOptions& options);
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  [[nodiscard]] bool Started() const { return pid_ > 0 || result_.started; }
  [[nodiscard]] pid_t Pid() const { return pid_; }

  /// Feeds the input, collects output and waits for the child until `deadline`
  /// (the option's time limit counts too); a child still running then is stopped.
  /// Always reaps it. Further calls return the same result.
  const ChildResult& Wait(std::chrono::steady_clock::time_point deadline =
                              std::chrono::steady_clock::time_point::max());
  [[nodiscard]] const ChildResult& Result() const { return result_; }

 private:
  void Communicate(std::chrono::steady_clock::time_point deadline);
  void Stop();
  bool Reap(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  ChildOptions options_;
  std::chrono::steady_clock::time_point limitDeadline_ =
      std::chrono::steady_clock::time_point::max();
  UniqueFd input_;
  UniqueFd out_;
  UniqueFd err_;
  std::size_t inputDone_ = 0;
  ChildResult result_;
};

/// Runs `argv` to its end (or its time limit): Child(argv, options).Wait().
ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {});

/// Opens `path` for a child's output the way the shell's ">" would (created with
/// `mode` or emptied), but never through a symbolic link, onto anything but a
/// plain file (a FIFO would block) or onto a file with other names (a hard link
/// planted to some other file). Close-on-exec, above the standard numbers.
UniqueFd OpenOutputFile(const std::string& path, mode_t mode);

}  // namespace mgmt::base

#endif
