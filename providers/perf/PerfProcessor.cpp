#include "PerfProcessor.h"

#include "proctext.h"

#include <optional>
#include <string_view>

namespace {

constexpr const char* kStat = "/proc/stat";

// The processor number of a name such as cpu12; nothing for "cpu" or other text.
std::optional<std::uint64_t> ProcessorNumber(std::string_view name) {
  if (name.substr(0, 3) != "cpu") return std::nullopt;
  const std::string_view digits = name.substr(3);
  if (digits.empty() || digits.front() == '+') return std::nullopt;
  return perf::WholeDecimal(digits);
}

// The column of processor `cpu` in /proc/interrupts: its position among the CPUn
// headings of the first line (absent processors have no column), or `cpu` itself
// when the first line carries no headings.
std::optional<std::size_t> InterruptColumn(std::string_view header, std::uint64_t cpu) {
  const auto headings = perf::SpaceTokens(header);
  const std::string wanted = "CPU" + std::to_string(cpu);
  bool anyHeading = false;
  for (std::size_t i = 0; i < headings.size(); ++i) {
    if (headings[i] == wanted) return i;
    if (headings[i].substr(0, 3) == "CPU") anyHeading = true;
  }
  if (anyHeading) return std::nullopt;
  return static_cast<std::size_t>(cpu);
}

// The counts of a numbered interrupt line ("  17:  123  456  IO-APIC ..."): the text
// after the colon when the label before it is a decimal number; nothing otherwise
// (the header and the NMI, LOC, ERR and MIS lines).
std::optional<std::string_view> NumberedCounts(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto label = perf::SpaceTokens(line.substr(0, colon));
  if (label.size() != 1 || !perf::WholeDecimal(label[0])) return std::nullopt;
  return line.substr(colon + 1);
}

}  // namespace

int PerfProcessor::getProcessorNames() {
  perf::LineFile file(kStat);
  if (!file.isOpen()) return 0;  // an unreadable file is an empty list, not an error
  std::string line;
  while (file.next(line)) {
    if (line.compare(0, 3, "cpu") != 0) continue;
    names_.push_back(std::string(perf::SpaceTokens(line).front()));
  }
  return file.close();
}

int PerfProcessor::getProcessorTime(const std::string& name, std::uint64_t& user,
                                    std::uint64_t& privileged, std::uint64_t& idle) {
  perf::LineFile file(kStat);
  std::string line;
  while (file.next(line)) {
    const auto words = perf::BlankWords(line);
    if (words.empty() || words[0] != name) continue;
    if (words.size() > 4) {
      user = perf::LeadingDecimal(words[1]) + perf::LeadingDecimal(words[2]);
      privileged = perf::LeadingDecimal(words[3]);
      idle = perf::LeadingDecimal(words[4]);
    }
    break;
  }
  return 1;
}

int PerfProcessor::getInterrupts(const std::string& name, std::uint64_t& count) {
  if (name == "cpu") {
    perf::LineFile file(kStat);
    std::string line;
    while (file.next(line)) {
      const auto words = perf::BlankWords(line);
      if (words.empty() || words[0] != "intr") continue;
      if (words.size() > 1) count = perf::LeadingDecimal(words[1]);
      break;
    }
    return 1;
  }
  const auto cpu = ProcessorNumber(name);
  if (!cpu) return 1;
  perf::LineFile file("/proc/interrupts");
  std::string line;
  if (!file.next(line)) return 1;
  std::optional<std::size_t> column;
  if (NumberedCounts(line)) {
    column = static_cast<std::size_t>(*cpu);  // no header: the first line is data
  } else {
    column = InterruptColumn(line, *cpu);
    if (!column) return 1;
    if (!file.next(line)) return 1;
  }
  do {
    const auto counts = NumberedCounts(line);
    if (!counts) continue;
    const auto fields = perf::SpaceTokens(*counts);
    if (*column < fields.size()) {
      count += perf::WholeDecimal(fields[*column]).value_or(0);
    }
  } while (file.next(line));
  return 1;
}
