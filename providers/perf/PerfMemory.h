// PerfMemory: free memory and paging counters from /proc.
#ifndef MGMT_PERF_PERFMEMORY_H
#define MGMT_PERF_PERFMEMORY_H

#include <cstdint>

/// Memory sampler; holds no data, lives for one request.
class PerfMemory {
 public:
  /// Free, shared, buffer and cache memory in bytes. From the "Mem:" summary line
  /// of /proc/meminfo (words 3 to 6), written only when that line has all four;
  /// without such a line (every kernel since 2.6), from the MemFree, Shmem, Buffers
  /// and Cached lines (kB times 1024), each written when present. Outputs not found
  /// keep the caller's values. Always returns 1.
  int getAvailableBytes(std::uint64_t& free, std::uint64_t& shared, std::uint64_t& buffers,
                        std::uint64_t& cached);

  /// Pages paged in and out since boot. Both are set to 0, then read from words 1
  /// and 2 of the "page" line of /proc/stat, or, on kernels whose /proc/stat has no
  /// such line, from pgpgin and pgpgout in /proc/vmstat. Read at full width; the
  /// provider narrows them to the published type. Always returns 1.
  int getPagesNumber(std::uint64_t& pagesIn, std::uint64_t& pagesOut);
};

#endif
