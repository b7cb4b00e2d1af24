#include "smbios/walker.h"

#include "base/bytes.h"

namespace mgmt::smbios {
namespace {

struct StringSet {
  size_t size = 0;  // bytes of the set, closing NUL included
  size_t count = 0;
  bool tooMany = false;
};

// Scans the string set that starts at `set`: strings are counted (at most 32) and
// the set ends at the NUL that follows a string's own NUL. A set that starts with
// "\0\0" is one empty string, which counts as none.
std::optional<StringSet> ScanStrings(std::span<const uint8_t> set) {
  StringSet result;
  size_t pos = 0;
  size_t strings = 0;
  while (true) {
    // One string: its bytes up to and including its NUL.
    while (pos < set.size() && set[pos] != 0) ++pos;
    if (pos + 1 >= set.size()) return std::nullopt;  // no NUL, or nothing after it
    ++strings;
    ++pos;
    if (set[pos] == 0) {
      result.size = pos + 1;
      break;
    }
  }
  const bool onlyEmpty = strings == 1 && set[0] == 0;
  result.count = onlyEmpty ? 0 : (strings > kMaxStrings ? kMaxStrings : strings);
  result.tooMany = strings > kMaxStrings;
  return result;
}

}  // namespace

uint16_t Structure::Handle() const { return base::GetLe16(bytes_, 2); }

std::optional<std::string_view> Structure::String(size_t n) const {
  if (n == 0) return std::string_view();
  if (n > stringCount_) return std::nullopt;
  // The set is known to end inside bytes_, so every string found here has its NUL.
  size_t pos = Length();
  for (size_t i = 1; i < n; ++i) {
    while (bytes_[pos] != 0) ++pos;
    ++pos;
  }
  const size_t begin = pos;
  while (bytes_[pos] != 0) ++pos;
  return std::string_view(reinterpret_cast<const char*>(bytes_.data()) + begin, pos - begin);
}

std::optional<std::span<const uint8_t>> Structure::Field(size_t offset, size_t count) const {
  const size_t length = Length();
  if (offset > length || count > length - offset) return std::nullopt;
  return bytes_.subspan(offset, count);
}

std::optional<uint8_t> Structure::Byte(size_t offset) const {
  if (offset >= Length()) return std::nullopt;
  return bytes_[offset];
}

std::optional<uint16_t> Structure::Word(size_t offset) const {
  const auto field = Field(offset, 2);
  if (!field) return std::nullopt;
  return base::GetLe16(*field, 0);
}

std::optional<uint32_t> Structure::Dword(size_t offset) const {
  const auto field = Field(offset, 4);
  if (!field) return std::nullopt;
  return base::GetLe32(*field, 0);
}

std::optional<uint64_t> Structure::Qword(size_t offset) const {
  const auto field = Field(offset, 8);
  if (!field) return std::nullopt;
  return base::GetLe64(*field, 0);
}

std::optional<std::string_view> Structure::StringField(size_t offset) const {
  const auto number = Byte(offset);
  if (!number) return std::nullopt;
  return String(*number);
}

std::optional<Structure> ReadStructure(std::span<const uint8_t> table, size_t offset,
                                       WalkStop* why) {
  WalkStop ignored;
  WalkStop& stop = why != nullptr ? *why : ignored;
  if (offset >= table.size()) {
    stop = WalkStop::kEndOfTable;
    return std::nullopt;
  }
  const size_t left = table.size() - offset;
  if (left < kStructureHeaderSize) {
    stop = WalkStop::kTruncatedHeader;
    return std::nullopt;
  }
  const size_t length = table[offset + 1];
  if (length < kStructureHeaderSize) {
    stop = WalkStop::kShortLength;
    return std::nullopt;
  }
  if (length > left) {
    stop = WalkStop::kTruncatedFormatted;
    return std::nullopt;
  }
  const auto strings = ScanStrings(table.subspan(offset + length));
  if (!strings) {
    stop = WalkStop::kUnterminatedStrings;
    return std::nullopt;
  }
  stop = WalkStop::kNone;
  return Structure(table.subspan(offset, length + strings->size), offset, strings->count,
                   strings->tooMany);
}

Structures::Iterator& Structures::Iterator::operator++() {
  if (!current_) return *this;
  current_ = ReadStructure(owner_->table_, current_->Offset() + current_->Size(), &owner_->stop_);
  return *this;
}

Structures::Iterator Structures::begin() const {
  stop_ = WalkStop::kNone;
  return Iterator(this, ReadStructure(table_, start_, &stop_));
}

std::optional<Structure> FindStructure(std::span<const uint8_t> table, uint8_t type, size_t start) {
  for (const Structure& s : Structures(table, start)) {
    if (s.Type() == type) return s;
  }
  return std::nullopt;
}

}  // namespace mgmt::smbios
