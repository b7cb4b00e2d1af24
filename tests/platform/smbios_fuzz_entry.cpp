#include "smbios_fuzz_entry.h"

#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "smbios/entrypoint.h"
#include "smbios/tableprep.h"
#include "smbios/walker.h"

namespace mgmt::test {
namespace {

using Span = std::span<const uint8_t>;

bool SumsToZero(Span bytes) {
  uint8_t sum = 0;
  for (const uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum == 0;
}

// Walks `table` touching everything a reader may touch.
std::string CheckWalk(Span table) {
  size_t expectedOffset = 0;
  smbios::Structures range(table);
  for (const smbios::Structure& s : range) {
    if (s.Offset() != expectedOffset) return "structures are not back to back";
    if (s.Length() < smbios::kStructureHeaderSize) return "length under 4 accepted";
    if (s.Size() < s.Length() + 2u || s.Offset() + s.Size() > table.size()) {
      return "structure outside the table";
    }
    if (s.StringCount() > smbios::kMaxStrings) return "more than 32 strings counted";
    const auto* begin = reinterpret_cast<const char*>(s.Bytes().data());
    const auto* end = begin + s.Size();
    for (size_t n = 1; n <= s.StringCount(); ++n) {
      const auto text = s.String(n);
      if (!text) return "a counted string is missing";
      if (!text->empty() && (text->data() < begin || text->data() + text->size() >= end)) {
        return "a string lies outside its structure";
      }
      if (!text->empty() && text->data()[text->size()] != '\0') return "a string has no NUL";
    }
    if (s.String(s.StringCount() + 1)) return "a string above the count";
    for (size_t offset = 0; offset < s.Length() + 10u; ++offset) {
      const bool inside = offset < s.Length();
      if (s.Byte(offset).has_value() != inside) return "a byte outside the formatted area";
      if (s.Word(offset).has_value() != (offset + 2 <= s.Length())) return "a word misplaced";
      if (s.Dword(offset).has_value() != (offset + 4 <= s.Length())) return "a dword misplaced";
      if (s.Qword(offset).has_value() != (offset + 8 <= s.Length())) return "a qword misplaced";
      if (inside && s.Byte(offset) <= s.StringCount() && !s.StringField(offset)) {
        return "a string number within the count gives nothing";
      }
    }
    expectedOffset = s.Offset() + s.Size();
  }
  if (range.StopReason() == smbios::WalkStop::kNone) return "the walk ended without a reason";
  return {};
}

// What a prepared table must be, whatever the input.
std::string CheckPrepared(const smbios::PreparedTable& p, Span exported) {
  if (p.table.size() > smbios::kMaxLegacyTableLength) return "prepared table too long";
  if (p.table.size() > exported.size() ||
      !std::equal(p.table.begin(), p.table.end(), exported.begin())) {
    return "prepared table is not the start of the exported one";
  }
  size_t count = 0;
  size_t largest = 0;
  size_t end = 0;
  bool endMarker = false;
  for (const smbios::Structure& s : smbios::Structures(p.table)) {
    if (endMarker) return "a structure after the end marker";
    ++count;
    largest = std::max(largest, s.Size());
    end = s.Offset() + s.Size();
    endMarker = s.Type() == smbios::kEndOfTableType;
  }
  if (end != p.table.size()) return "prepared table does not end with a whole structure";
  if (count != p.structureCount || largest != p.largestStructure) return "counts disagree";
  const Span header(p.header);
  if (header.size() > smbios::kHeaderBufferSize) return "header longer than its buffer";
  if (smbios::LegacyTableLength(header) != p.table.size()) return "header length disagrees";
  if (header[1] == 'S') {
    if (!SumsToZero(header.first(header[5])) || !SumsToZero(header.subspan(0x10, 0x0F))) {
      return "header checksum invalid";
    }
  } else if (!SumsToZero(header.first(smbios::kDmiRecordSize))) {
    return "header checksum invalid";
  }
  return {};
}

std::vector<uint8_t> SmRecord(uint16_t length) {
  std::vector<uint8_t> ep(0x1F, 0);
  std::copy_n("_SM_", 4, ep.begin());
  ep[5] = 0x1F;
  std::copy_n("_DMI_", 5, ep.begin() + 0x10);
  ep[0x16] = static_cast<uint8_t>(length);
  ep[0x17] = static_cast<uint8_t>(length >> 8);
  return ep;
}

std::vector<uint8_t> Sm3Record(uint32_t maximum) {
  std::vector<uint8_t> ep(0x18, 0);
  std::copy_n("_SM3_", 5, ep.begin());
  ep[6] = 0x18;
  ep[7] = 3;
  for (size_t i = 0; i < 4; ++i) ep[0x0C + i] = static_cast<uint8_t>(maximum >> (8 * i));
  return ep;
}

}  // namespace

std::string FuzzSmbiosTable(const uint8_t* data, size_t size) {
  const Span input(data, size);
  if (auto broken = CheckWalk(input); !broken.empty()) return "walk: " + broken;

  // The input's own first bytes as the entry point, the rest as the table.
  const size_t split = std::min<size_t>(size, 0x20);
  if (const auto p = smbios::PrepareTable(input.first(split), input.subspan(split))) {
    if (auto broken = CheckPrepared(*p, input.subspan(split)); !broken.empty()) {
      return "own entry point: " + broken;
    }
  }
  // Records made for the rest, their length fields taken from the first bytes.
  if (size >= 4) {
    const Span table = input.subspan(4);
    const uint16_t length = static_cast<uint16_t>(data[0] | data[1] << 8);
    const uint32_t maximum = static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16) |
                             static_cast<uint32_t>(data[3]) << 24;
    for (const auto& ep : {SmRecord(length), Sm3Record(maximum)}) {
      const auto p = smbios::PrepareTable(ep, table);
      if (!p) return "a valid entry point was refused";
      if (auto broken = CheckPrepared(*p, table); !broken.empty()) return broken;
    }
  }
  return {};
}

}  // namespace mgmt::test

#ifdef MGMT_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!mgmt::test::FuzzSmbiosTable(data, size).empty()) std::abort();
  return 0;
}
#endif
