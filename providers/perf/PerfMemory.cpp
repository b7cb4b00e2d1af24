#include "PerfMemory.h"

#include "proctext.h"
#include "xfile.h"

#include <limits>
#include <string>

namespace {

constexpr const char* kMeminfo = "/proc/meminfo";

std::uint64_t KiloBytes(std::uint64_t kb) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  return kb > kMax / 1024 ? kMax : kb * 1024;
}

// Current kernels: one "Key:   value kB" line per figure.
void ReadMeminfoKeys(std::uint64_t& free, std::uint64_t& shared, std::uint64_t& buffers,
                     std::uint64_t& cached) {
  struct Key {
    std::string_view name;
    std::uint64_t& out;
  };
  const Key keys[] = {
      {"MemFree:", free}, {"Shmem:", shared}, {"Buffers:", buffers}, {"Cached:", cached}};
  perf::LineFile file(kMeminfo);
  std::string line;
  while (file.next(line)) {
    const auto words = perf::BlankWords(line);
    if (words.size() < 2) continue;
    for (const Key& key : keys) {
      if (words[0] == key.name) key.out = KiloBytes(perf::LeadingDecimal(words[1]));
    }
  }
}

}  // namespace

int PerfMemory::getAvailableBytes(std::uint64_t& free, std::uint64_t& shared,
                                  std::uint64_t& buffers, std::uint64_t& cached) {
  char line[perf::kGrepPiece];
  if (filegrep(kMeminfo, "Mem:", 1, line, sizeof line) != nullptr) {
    const auto words = perf::BlankWords(line);
    if (words.size() > 6) {
      free = perf::LeadingDecimal(words[3]);
      shared = perf::LeadingDecimal(words[4]);
      buffers = perf::LeadingDecimal(words[5]);
      cached = perf::LeadingDecimal(words[6]);
    }
    return 1;
  }
  ReadMeminfoKeys(free, shared, buffers, cached);
  return 1;
}

int PerfMemory::getPagesNumber(std::uint64_t& pagesIn, std::uint64_t& pagesOut) {
  pagesIn = 0;
  pagesOut = 0;
  char line[perf::kGrepPiece];
  if (filegrep("/proc/stat", "page", 1, line, sizeof line) != nullptr) {
    const auto words = perf::BlankWords(line);
    if (words.size() > 1) pagesIn = perf::LeadingDecimal(words[1]);
    if (words.size() > 2) pagesOut = perf::LeadingDecimal(words[2]);
    return 1;
  }
  perf::LineFile vmstat("/proc/vmstat");
  std::string text;
  while (vmstat.next(text)) {
    const auto words = perf::BlankWords(text);
    if (words.size() < 2) continue;
    if (words[0] == "pgpgin") pagesIn = perf::LeadingDecimal(words[1]);
    if (words[0] == "pgpgout") pagesOut = perf::LeadingDecimal(words[1]);
  }
  return 1;
}
