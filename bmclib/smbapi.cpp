// The driver side of the SMBIOS access functions: the table driver's two
// requests and the picking functions, all walks through the bounded walker.
#include "smbapi.h"

#include <fcntl.h>

#include <cstdint>
#include <cstring>
#include <span>

#include "devseam.h"
#include "firmwareioctl.h"
#include "smbios/entrypoint.h"
#include "smbios/walker.h"

namespace {

constexpr const char* kDriverPath = "/dev/smbdrv";
constexpr size_t kProductNameOffset = 5;
constexpr size_t kUuidOffset = 8;
constexpr size_t kUuidSize = 16;
// A system information structure carries the whole UUID from this length on.
constexpr size_t kMinUuidStructureLength = 0x19;
constexpr uint8_t kSystemInformation = 1;
constexpr uint8_t kBaseBoard = 2;

// First buffer offered for a table; most tables fit, larger ones are read again
// with the length the driver announced.
constexpr size_t kFirstTableBuffer = 8192;
// A table longer than a legacy record can say does not exist, so after one retry
// the length cannot have been larger; a few more cover a driver whose table
// changed between the two requests.
constexpr int kTableReadAttempts = 4;

std::span<const uint8_t> TableSpan(const unsigned char* table, int length) {
  if (table == nullptr || length <= 0) return {};
  return {table, static_cast<size_t>(length)};
}

// The string whose number stands at `offset` of the first structure of `type`.
const char* StructureString(uint8_t type, size_t offset, unsigned char* table, int length) {
  const auto s = mgmt::smbios::FindStructure(TableSpan(table, length), type);
  if (!s) return nullptr;
  const auto text = s->StringField(offset);
  if (!text) return nullptr;
  // Strings of a whole structure end with their NUL inside the table.
  return text->empty() ? "" : text->data();
}

void FillList(const mgmt::smbios::Structure& s, char** strings, int* count) {
  strings[0] = const_cast<char*>("");
  for (size_t n = 1; n <= s.StringCount(); ++n) {
    strings[n] = const_cast<char*>(s.String(n)->data());
  }
  *count = static_cast<int>(s.StringCount());
}

}  // namespace

extern "C" int OpenSBMiosDrv(void) { return DevOpen(kDriverPath, O_RDONLY); }

extern "C" void CloseSBMiosDrv(int fd) {
  if (fd >= 0) DevClose(fd);
}

extern "C" int GetSMHeader(int fd, unsigned char* buf, int size) {
  if (buf == nullptr || size < SMBIOS_HEADER_SIZE) return -1;
  std::memset(buf, 0, SMBIOS_HEADER_SIZE);
  if (DevIoctl(fd, SMBIOS_IOCTL_GET_HEADER, buf) != 0) return -1;
  return SMBIOS_HEADER_SIZE;
}

extern "C" int GetSMTable(int fd, unsigned char* buf, int size) {
  unsigned char header[SMBIOS_HEADER_SIZE];
  if (GetSMHeader(fd, header, sizeof header) < 0) return -1;
  const auto length = mgmt::smbios::LegacyTableLength(header);
  if (!length) return -1;
  if (*length > 0 && buf != nullptr && size >= *length) {
    std::memset(buf, 0, *length);
    if (DevIoctl(fd, SMBIOS_IOCTL_GET_TABLE, buf) != 0) return -1;
  }
  return *length;
}

extern "C" unsigned char* GetDmiSturct(unsigned char type, unsigned char* table, int start,
                                       int end) {
  if (start < 0 || start >= end) return nullptr;
  const auto s =
      mgmt::smbios::FindStructure(TableSpan(table, end), type, static_cast<size_t>(start));
  return s ? table + s->Offset() : nullptr;
}

extern "C" unsigned char* GetDmiStrings(unsigned char* structure, char** strings, int* count) {
  if (structure == nullptr || strings == nullptr || count == nullptr) return nullptr;
  *count = 0;
  strings[0] = const_cast<char*>("");
  unsigned char* p = structure + structure[1];
  while (true) {
    if (*count >= static_cast<int>(mgmt::smbios::kMaxStrings)) return nullptr;
    strings[++*count] = reinterpret_cast<char*>(p);
    p += std::strlen(reinterpret_cast<char*>(p)) + 1;
    if (*p == 0) break;
  }
  if (*count == 1 && strings[1][0] == '\0') *count = 0;
  return p + 1;
}

extern "C" const char* SelectString(char** strings, int count, int n) {
  if (strings == nullptr || n < 0 || n > count) return SMBIOS_BAD_STRING_TEXT;
  if (n == 0) return "";
  return strings[n];
}

extern "C" const char* GetProductName(unsigned char* table, int length) {
  return StructureString(kSystemInformation, kProductNameOffset, table, length);
}

extern "C" const char* GetModelName(unsigned char* table, int length) {
  return StructureString(kBaseBoard, kProductNameOffset, table, length);
}

extern "C" int GetUUID(unsigned char* uuid, unsigned char* table, int length) {
  if (uuid == nullptr) return 0;
  const auto s = mgmt::smbios::FindStructure(TableSpan(table, length), kSystemInformation);
  if (!s || s->Length() < kMinUuidStructureLength) return 0;
  const auto bytes = s->Field(kUuidOffset, kUuidSize);
  if (!bytes) return 0;
  std::memcpy(uuid, bytes->data(), kUuidSize);
  return 1;
}

namespace mgmt::smbapi {

std::optional<std::vector<unsigned char>> ReadTable(int fd) {
  std::vector<unsigned char> table(kFirstTableBuffer);
  for (int attempt = 0; attempt < kTableReadAttempts; ++attempt) {
    const int length = GetSMTable(fd, table.data(), static_cast<int>(table.size()));
    if (length < 0) return std::nullopt;
    if (static_cast<size_t>(length) <= table.size()) {
      table.resize(static_cast<size_t>(length));
      return table;
    }
    table.assign(static_cast<size_t>(length), 0);
  }
  return std::nullopt;
}

std::optional<std::vector<unsigned char>> ReadTable() {
  const int fd = OpenSBMiosDrv();
  if (fd < 0) return std::nullopt;
  auto table = ReadTable(fd);
  CloseSBMiosDrv(fd);
  return table;
}

unsigned char* GetStructureStrings(unsigned char* table, int length, unsigned char* structure,
                                   char** strings, int* count) {
  if (strings == nullptr || count == nullptr) return nullptr;
  *count = 0;
  strings[0] = const_cast<char*>("");
  const auto span = TableSpan(table, length);
  const auto at = reinterpret_cast<uintptr_t>(structure);
  const auto begin = reinterpret_cast<uintptr_t>(table);
  if (structure == nullptr || at < begin || at - begin >= span.size()) return nullptr;
  const auto s = smbios::ReadStructure(span, at - begin);
  if (!s) return nullptr;
  FillList(*s, strings, count);
  return structure + s->Size();
}

}  // namespace mgmt::smbapi
