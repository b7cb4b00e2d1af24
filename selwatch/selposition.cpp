// LoadSELLastRecord and SaveSELLastRecord: the SEL position in "event.idx".
#include "selposition.h"

#include <syslog.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "base/atomic_file.h"
#include "ipmievt.h"

namespace mgmt::selwatch {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

/// One field of 1 to 8 hexadecimal digits starting at `text` (blanks before it
/// skipped); the rest of the text after it in `rest`.
std::optional<uint32_t> HexField(std::string_view text, std::string_view& rest) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  size_t end = at;
  while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
  if (end == at || end - at > 8) return std::nullopt;
  // Wide enough for any 8-digit field, so nothing overflows before the range check.
  uint64_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data() + at, text.data() + end, value, 16);
  if (ec != std::errc() || ptr != text.data() + end) return std::nullopt;
  rest = text.substr(end);
  return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<SelPosition> ParseSelPosition(std::string_view text) {
  std::string_view rest = text;
  const auto id = HexField(rest, rest);
  if (!id || *id > 0xFFFF || rest.empty() || !IsBlank(rest.front())) return std::nullopt;
  const auto timestamp = HexField(rest, rest);
  if (!timestamp || rest.empty() || !IsBlank(rest.front())) return std::nullopt;
  const auto flag = HexField(rest, rest);
  if (!flag) return std::nullopt;
  for (const char c : rest) {
    if (!IsBlank(c)) return std::nullopt;
  }
  return SelPosition{static_cast<uint16_t>(*id), *timestamp, *flag};
}

std::string FormatSelPosition(const SelPosition& position) {
  char line[32];
  std::snprintf(
      line, sizeof(line), "%08lX %08lX %08lX", static_cast<unsigned long>(position.recordId),
      static_cast<unsigned long>(position.timestamp), static_cast<unsigned long>(position.flag));
  return line;
}

}  // namespace mgmt::selwatch

using mgmt::selwatch::kPositionFile;

namespace {
/// The line last written, so an unchanged position is not rewritten every poll.
std::string g_lastSaved;
}  // namespace

int LoadSELLastRecord() {
  std::ifstream file(kPositionFile);
  if (!file) return -1;
  char text[128] = {};
  file.read(text, sizeof(text) - 1);
  const auto position = mgmt::selwatch::ParseSelPosition(std::string_view(text));
  if (!position) {
    syslog(LOG_ERR, "ERROR,%s is not a SEL position; starting from the first record",
           kPositionFile);
    return -1;
  }
  g_wSELLastRecordID = position->recordId;
  g_dwSELLastRecordTimestamp = position->timestamp;
  g_dwSELLastRecordFlag = position->flag;
  g_lastSaved = mgmt::selwatch::FormatSelPosition(*position);
  return 0;
}

void SaveSELLastRecord() {
  const std::string line = mgmt::selwatch::FormatSelPosition(
      {g_wSELLastRecordID, g_dwSELLastRecordTimestamp, g_dwSELLastRecordFlag});
  if (line == g_lastSaved) return;
  mgmt::base::ReplaceOptions options;
  options.modeIfNew = 0644;
  if (mgmt::base::ReplaceFileContents(kPositionFile, line, options) != 0) {
    // The position lives on in memory; a restart begins at the first record.
    syslog(LOG_ERR, "ERROR,cannot write %s: %s", kPositionFile, std::strerror(errno));
    return;
  }
  g_lastSaved = line;
}
