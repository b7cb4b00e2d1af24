// InitModelNameAndUUID: the platform model name and the system GUID from the
// SMBIOS table, once at start-up.
#include <cstring>
#include <vector>

#include "ipmipet.h"
#include "runstate.h"
#include "smbapi.h"

namespace {

constexpr int kTableStep = 8192;
constexpr int kTableAttempts = 10;

/// The table through an open driver: a buffer of 8192 bytes, 8192 more after
/// each failed read; a table longer than the buffer is read again with a buffer
/// of the length the driver announced (until then nothing was read into it).
std::vector<unsigned char> ReadSmbiosTable(int fd) {
  std::vector<unsigned char> table;
  size_t size = kTableStep;
  for (int attempt = 0; attempt < kTableAttempts; ++attempt) {
    table.assign(size, 0);
    const int length = GetSMTable(fd, table.data(), static_cast<int>(size));
    if (length > 0 && static_cast<size_t>(length) <= size) {
      table.resize(static_cast<size_t>(length));
      return table;
    }
    size = length > 0 ? static_cast<size_t>(length) : size + kTableStep;
  }
  return {};
}

/// "Rack  Server __" → "Rack__Server": trailing blanks and underscores cut,
/// every other blank an underscore.
void SetModelName(const char* productName) {
  if (productName == nullptr) return;
  size_t length = strnlen(productName, sizeof(g_modelName));
  if (length >= sizeof(g_modelName)) return;  // does not fit: no model name
  while (length > 0 && (productName[length - 1] == ' ' || productName[length - 1] == '_')) --length;
  for (size_t i = 0; i < length; ++i) g_modelName[i] = productName[i] == ' ' ? '_' : productName[i];
  g_modelName[length] = '\0';
}

}  // namespace

void InitModelNameAndUUID() {
  std::memset(g_modelName, 0, sizeof(g_modelName));
  const int fd = OpenSBMiosDrv();
  if (fd <= 0) return;
  std::vector<unsigned char> table = ReadSmbiosTable(fd);
  if (!table.empty()) {
    const int length = static_cast<int>(table.size());
    SetModelName(GetProductName(table.data(), length));
    // Only a system information structure long enough to hold the UUID gives one.
    unsigned char uuid[16];
    if (GetUUID(uuid, table.data(), length) == 1) SetUUID(uuid);
  }
  CloseSBMiosDrv(fd);
}
