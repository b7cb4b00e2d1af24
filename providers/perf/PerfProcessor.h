// PerfProcessor: processor times and interrupt counts from /proc.
#ifndef MGMT_PERF_PERFPROCESSOR_H
#define MGMT_PERF_PERFPROCESSOR_H

#include <cstdint>
#include <string>
#include <vector>

/// Processor sampler; lives for one request.
class PerfProcessor {
 public:
  /// Fills the name list with the first word of every /proc/stat line that starts
  /// with "cpu", read whole: "cpu" for all processors, then cpu0, cpu1, ... cpu10,
  /// ... Returns 0 when /proc/stat can't be opened (the name list stays empty),
  /// else the result of closing it.
  int getProcessorNames();

  /// User (user + nice), privileged (system) and idle time of processor `name` in
  /// jiffies, from words 1 to 4 of the /proc/stat line whose first word is `name`.
  /// Outputs are left untouched when the line or any of the words is missing.
  /// Always returns 1.
  int getProcessorTime(const std::string& name, std::uint64_t& user, std::uint64_t& privileged,
                       std::uint64_t& idle);

  /// Adds the interrupts of processor `name` to `count` (which the caller sets to
  /// 0). For "cpu": stores word 1 of the "intr" line of /proc/stat (all interrupts
  /// since boot), leaving `count` alone when it is missing. For cpuN: sums, over
  /// the numbered lines of /proc/interrupts, the column headed CPUN (column N when
  /// the file has no header). Always returns 1.
  int getInterrupts(const std::string& name, std::uint64_t& count);

  /// The names listed by getProcessorNames, in file order.
  const std::vector<std::string>& names() const { return names_; }

 private:
  std::vector<std::string> names_;
};

#endif
