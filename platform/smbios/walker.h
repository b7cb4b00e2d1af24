// The one way the system steps through an SMBIOS structure table.
//
// Every walk over firmware structures (the table preparation behind the emulated
// drivers, the SMBIOS access functions, the inventory provider, the sensor library)
// goes through ReadStructure / Structures below, so a table from the firmware is
// bounds-checked in one place:
//   - a structure's four-byte header, its formatted area and its string set (up to
//     and including the set's closing NUL) must lie inside the table;
//   - a length byte under 4 ends the walk (the next structure cannot be found);
//   - a string set without its closing double NUL before the table's end ends the
//     walk;
//   - a structure with more than 32 strings keeps its first 32 (TooManyStrings()
//     tells) and the walk goes on after its set.
// The walk does not stop at the end-of-table structure (type 127): the prepared
// table already ends there (tableprep.h). Fields are read only when they lie inside
// the structure's formatted area.
#ifndef MGMT_PLATFORM_SMBIOS_WALKER_H
#define MGMT_PLATFORM_SMBIOS_WALKER_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

namespace mgmt::smbios {

/// Type, length byte and handle.
inline constexpr size_t kStructureHeaderSize = 4;
/// Strings one structure can carry for its users; further ones are not addressable.
inline constexpr size_t kMaxStrings = 32;
/// The end-of-table structure.
inline constexpr uint8_t kEndOfTableType = 127;

/// Why a walk ended where it did.
enum class WalkStop {
  kNone,                ///< a structure was read
  kEndOfTable,          ///< no bytes left after the previous structure
  kTruncatedHeader,     ///< fewer than four bytes left
  kShortLength,         ///< a length byte under 4
  kTruncatedFormatted,  ///< the formatted area runs past the table
  kUnterminatedStrings  ///< no closing double NUL before the table's end
};

/// One structure inside a table; views into the table's bytes, which must outlive it.
class Structure {
 public:
  /// Offset of the structure's first byte in the table.
  size_t Offset() const { return offset_; }
  uint8_t Type() const { return bytes_[0]; }
  /// The formatted area's length (byte 1), at least 4.
  uint8_t Length() const { return bytes_[1]; }
  uint16_t Handle() const;

  /// Formatted area: type, length, handle and the type's fields.
  std::span<const uint8_t> Formatted() const { return bytes_.first(Length()); }
  /// The whole structure as the firmware wrote it: formatted area, strings and the
  /// set's closing NUL. Its size is what the structure occupies in the table.
  std::span<const uint8_t> Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }

  /// Number of strings, 0 to 32. A set of one empty string ("\0\0") counts 0.
  size_t StringCount() const { return stringCount_; }
  /// More than 32 strings were in the set; only the first 32 are counted.
  bool TooManyStrings() const { return tooManyStrings_; }
  /// String number `n`: 0 gives the empty text; nullopt above the count.
  std::optional<std::string_view> String(size_t n) const;

  /// Fields of the formatted area, little-endian; nullopt unless the whole field
  /// lies inside the formatted area.
  std::optional<uint8_t> Byte(size_t offset) const;
  std::optional<uint16_t> Word(size_t offset) const;
  std::optional<uint32_t> Dword(size_t offset) const;
  std::optional<uint64_t> Qword(size_t offset) const;
  /// `count` bytes of the formatted area from `offset`, or nullopt.
  std::optional<std::span<const uint8_t>> Field(size_t offset, size_t count) const;
  /// The string whose number stands in the byte at `offset`: nullopt when that
  /// byte lies outside the formatted area or the number is above the count; the
  /// empty text for number 0.
  std::optional<std::string_view> StringField(size_t offset) const;

 private:
  friend std::optional<Structure> ReadStructure(std::span<const uint8_t>, size_t, WalkStop*);
  Structure(std::span<const uint8_t> bytes, size_t offset, size_t stringCount, bool tooMany)
      : bytes_(bytes), offset_(offset), stringCount_(stringCount), tooManyStrings_(tooMany) {}

  std::span<const uint8_t> bytes_;
  size_t offset_;
  size_t stringCount_;
  bool tooManyStrings_;
};

/// Reads the structure that starts at `offset` of `table`, checking that all of it
/// lies inside the table. nullopt when none can be read there; `why` (if given)
/// then says what ended the walk, kNone otherwise.
std::optional<Structure> ReadStructure(std::span<const uint8_t> table, size_t offset,
                                       WalkStop* why = nullptr);

/// The structures of a table from `start` on, in order, as a range:
///     for (const Structure& s : Structures(table)) ...
/// The range ends where ReadStructure stops; StopReason() on the range tells why
/// once the loop is over.
class Structures {
 public:
  explicit Structures(std::span<const uint8_t> table, size_t start = 0)
      : table_(table), start_(start) {}

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Structure;
    using difference_type = std::ptrdiff_t;
    using pointer = const Structure*;
    using reference = const Structure&;

    Iterator() = default;
    const Structure& operator*() const { return *current_; }
    const Structure* operator->() const { return &*current_; }
    Iterator& operator++();
    void operator++(int) { ++*this; }
    bool operator==(const Iterator& other) const {
      return current_.has_value() == other.current_.has_value() &&
             (!current_ || current_->Offset() == other.current_->Offset());
    }

   private:
    friend class Structures;
    Iterator(const Structures* owner, std::optional<Structure> current)
        : owner_(owner), current_(current) {}
    const Structures* owner_ = nullptr;
    std::optional<Structure> current_;
  };

  Iterator begin() const;
  Iterator end() const { return Iterator(); }
  /// Why the last iteration over this range ended (kNone before one has ended).
  WalkStop StopReason() const { return stop_; }

 private:
  std::span<const uint8_t> table_;
  size_t start_;
  mutable WalkStop stop_ = WalkStop::kNone;
};

/// The first structure of `type` from `start` on, or nullopt.
std::optional<Structure> FindStructure(std::span<const uint8_t> table, uint8_t type,
                                       size_t start = 0);

}  // namespace mgmt::smbios

#endif
