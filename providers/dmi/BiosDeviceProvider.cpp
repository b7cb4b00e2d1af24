#include "BiosDeviceProvider.h"

#include <fcntl.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "DmiLog.h"
#include "devseam.h"
#include "firmwareioctl.h"
#include "smbios/entrypoint.h"

namespace Pegasus {

int smbdrv_fd = 0;
unsigned char* g_pBIOSBuf = nullptr;
unsigned char* g_pBIOSBufContent = nullptr;
std::uint32_t g_nBIOSBufSize = 0;
int g_nBIOSBufUsedNum = 0;
int g_nInitBiosNow = 0;

}  // namespace Pegasus

namespace {

using namespace Pegasus;
using mgmt::dmi::LogError;

constexpr std::size_t kHeaderRecordSize = 64;
constexpr std::size_t kSmDmiPartOffset = 16;

// The storage behind g_pBIOSBufContent.
std::unique_ptr<unsigned char[]> tableStorage;
// Entry 0 of every string table.
unsigned char emptyText[1] = {0};

// Upper-case hexadecimal, at least four digits: 0 gives 0000, 0x12345 gives 12345.
void itoa04X(int value, char* text) {
  std::snprintf(text, 12, "%04X", static_cast<unsigned>(value));
}

int FillStringTable(const mgmt::smbios::Structure& structure, unsigned char** strings) {
  strings[0] = emptyText;
  const int count = static_cast<int>(structure.StringCount());
  for (int n = 1; n <= count; ++n) {
    // The walker found every string of the set, NUL included, inside the table.
    const auto text = structure.String(static_cast<std::size_t>(n));
    strings[n] = reinterpret_cast<unsigned char*>(const_cast<char*>(text->data()));
  }
  return count;
}

// One walk at load time reports what the providers' walks will silently step over
// or stop at, so each problem is logged once per load rather than once per class.
void ReportTableProblems(std::span<const std::uint8_t> table) {
  mgmt::smbios::Structures walk(table);
  std::size_t end = 0;
  std::uint8_t lastType = 0;
  for (const auto& structure : walk) {
    if (structure.TooManyStrings()) {
      LogError("ERROR, Too many strings for one DMI structure\n");
    }
    end = structure.Offset() + structure.Size();
    lastType = structure.Type();
  }
  // A driver may pad the table after its end-of-table structure.
  if (walk.StopReason() != mgmt::smbios::WalkStop::kEndOfTable &&
      lastType != mgmt::smbios::kEndOfTableType) {
    LogError("ERROR, init_dmiInfo(): DMI table damaged at offset " + std::to_string(end) + " of " +
             std::to_string(table.size()) + ", the structures from there on are not used\n");
  }
}

}  // namespace

namespace mgmt::dmi {

std::mutex& DmiTableMutex() {
  static std::mutex mutex;
  return mutex;
}

int LoadDmiTable(const DriverRequest& request) {
  g_nInitBiosNow = 1;
  // Whatever way the load ends, it is no longer in progress and no pointer into
  // the header record survives it.
  struct LoadEnd {
    ~LoadEnd() {
      g_pBIOSBuf = nullptr;
      g_nInitBiosNow = 0;
    }
  } loadEnd;

  std::array<unsigned char, kHeaderRecordSize> header{};
  if (request(SMBIOS_IOCTL_GET_HEADER, header.data()) != 0) {
    LogError("ERROR, init_dmiInfo(): get dmi head info unsuccessfully!\n");
    return -1;
  }
  g_pBIOSBuf = header[1] == 'S' ? header.data() + kSmDmiPartOffset : header.data();
  // Only a legacy record carries the length at byte 6 of its DMI part; in a raw
  // "_SM3_" record those bytes belong to the table address.
  const auto length = smbios::LegacyTableLength(header);
  if (!length || *length == 0) {
    LogError("ERROR, init_dmiInfo(): get dmi head info unsuccessfully!\n");
    return -1;
  }
  g_pBIOSBuf = nullptr;

  std::unique_ptr<unsigned char[]> table;
  try {
    table = std::make_unique<unsigned char[]>(*length);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (request(SMBIOS_IOCTL_GET_TABLE, table.get()) != 0) {
    LogError("ERROR, init_dmiInfo(): get dmi buffer info unsuccessfully!\n");
    return -1;
  }
  tableStorage = std::move(table);
  g_pBIOSBufContent = tableStorage.get();
  g_nBIOSBufSize = *length;
  ReportTableProblems(LoadedDmiTable());
  return 0;
}

bool EnsureDmiTableLoaded() {
  if (g_pBIOSBufContent != nullptr) return true;
  const int fd = DevOpen("/dev/smbdrv", O_RDONLY);
  if (fd < 0) {
    LogError("ERROR, PegasusCreateProvider(): Failed to open mgmtdrv\n");
    return false;
  }
  smbdrv_fd = fd;
  const int result = init_dmiInfo();
  DevClose(smbdrv_fd);
  smbdrv_fd = 0;
  if (result != 0) {
    LogError("ERROR, PegasusCreateProvider(): init_dmiINfo() error\n");
    return false;
  }
  return true;
}

void DiscardDmiTable() {
  tableStorage.reset();
  g_pBIOSBufContent = nullptr;
  g_nBIOSBufSize = 0;
}

std::span<const std::uint8_t> LoadedDmiTable() {
  if (g_pBIOSBufContent == nullptr) return {};
  return {g_pBIOSBufContent, g_nBIOSBufSize};
}

DmiStructure::DmiStructure(const smbios::Structure& structure) : structure_(structure) {
  count_ = FillStringTable(structure_, strings_);
}

const char* DmiStructure::StringAt(std::size_t offset) const {
  const auto number = structure_.Byte(offset);
  if (!number) return nullptr;
  return Select(*number);
}

const char* DmiStructure::Select(int n) const {
  return SelectString(nullptr, const_cast<unsigned char**>(strings_), count_, n);
}

void ForEachDmiStructure(unsigned char* table, unsigned long length,
                         const std::function<void(const DmiStructure&)>& visit) {
  if (table == nullptr || length == 0) return;
  for (const auto& structure : smbios::Structures(std::span<const std::uint8_t>(table, length))) {
    visit(DmiStructure(structure));
  }
}

}  // namespace mgmt::dmi

namespace Pegasus {

int init_dmiInfo() {
  return mgmt::dmi::LoadDmiTable(
      [](unsigned long request, void* argument) { return DevIoctl(smbdrv_fd, request, argument); });
}

unsigned char* GetDmiStrings(unsigned char* structure, unsigned char** strings, int* count) {
  *count = 0;
  strings[0] = emptyText;
  const auto table = mgmt::dmi::LoadedDmiTable();
  if (structure == nullptr || table.empty()) return nullptr;
  // Compare addresses as integers: the structure may point anywhere.
  const auto begin = reinterpret_cast<std::uintptr_t>(table.data());
  const auto at = reinterpret_cast<std::uintptr_t>(structure);
  if (at < begin || at - begin >= table.size()) return nullptr;
  const auto read = mgmt::smbios::ReadStructure(table, at - begin);
  if (!read) return nullptr;
  *count = FillStringTable(*read, strings);
  return structure + read->Size();
}

const char* SelectString(unsigned char*, unsigned char** strings, int count, int n) {
  if (n < 0 || n > count) return kBadStringText;
  if (n == 0) return reinterpret_cast<const char*>(emptyText);
  return reinterpret_cast<const char*>(strings[n]);
}

char* GetStringForHandle(unsigned short handle, int n, char* list, int* status) {
  int ignored = 0;
  int& result = status != nullptr ? *status : ignored;
  char key[12];
  itoa04X(handle, key);
  char* group = list;
  while (*group != '\0') {
    if (std::strcmp(group, key) == 0) {
      char* text = group;
      for (int i = 0; i < n; ++i) {
        text += std::strlen(text) + 1;
        if (*text == '\0') {
          result = 2;
          return nullptr;
        }
      }
      result = 0;
      return text;
    }
    char* next = group;
    while (*next != '\0') next += std::strlen(next) + 1;
    group = next + 1;
  }
  result = 1;
  return group + 1;
}

}  // namespace Pegasus
