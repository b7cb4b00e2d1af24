// The remembered SEL position and its file "event.idx" in the daemon's working
// directory: one line "%08lX %08lX %08lX" (record ID, time stamp, flag), e.g.
// "0000012A 3F2B1C00 00000000".
#ifndef MGMT_SELWATCH_SELPOSITION_H
#define MGMT_SELWATCH_SELPOSITION_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mgmt::selwatch {

inline constexpr const char* kPositionFile = "event.idx";

struct SelPosition {
  uint16_t recordId = 0;
  uint32_t timestamp = 0;
  uint32_t flag = 0;
};

/// The three fields of a position line: each 1 to 8 hexadecimal digits,
/// separated (and optionally surrounded) by blanks; the record ID at most
/// 0xFFFF. Anything else, or a missing field, is refused.
std::optional<SelPosition> ParseSelPosition(std::string_view text);
/// The 26-character line, without a line end.
std::string FormatSelPosition(const SelPosition& position);

}  // namespace mgmt::selwatch

#endif
