#include "pnpoemfan.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "smbapi.h"

namespace {

std::string g_productName;

// The system product name of the SMBIOS table, or nullopt when the table cannot
// be read or has none. Only a copy of the name is kept, not the table.
std::optional<std::string> ReadProductName() {
  const int fd = OpenSBMiosDrv();
  if (fd < 0) return std::nullopt;
  // Read with a retry at the length the driver announces when the first buffer
  // is too small.
  std::optional<std::vector<unsigned char>> table = mgmt::smbapi::ReadTable(fd);
  CloseSBMiosDrv(fd);
  if (!table) return std::nullopt;
  const char* product = GetProductName(table->data(), static_cast<int>(table->size()));
  if (product == nullptr) return std::nullopt;
  return std::string(product);
}

}  // namespace

namespace Pegasus {

const _indexedString_t Cedar_OEMStr[] = {{0x58380000, "CPU 1 Fan"},
                                         {0x58390000, "CPU 2 Fan"},
                                         {0x583A0000, "Front Fan"},
                                         {0x583B0000, "Rear Fan"},
                                         {0xFFFFFFFF, nullptr}};

const _indexedString_t Elm_OEMStr[] = {
    {1, "CPU 1 FAN"},    {2, "CPU 2 FAN"},    {3, "CPU 3 FAN"},
    {4, "CPU 4 FAN"},    {5, "System FAN 1"}, {6, "System FAN 2"},
    {7, "System FAN 3"}, {8, "System FAN 4"}, {0xFFFFFFFF, nullptr}};

const _indexedString_t Birch_OEMStr[] = {{1, "CPU FAN"},
                                         {2, "System FAN 1(Front FAN)"},
                                         {3, "System FAN 2(Rear FAN)"},
                                         {0xFFFFFFFF, nullptr}};

const OemParserRow g_oemparsers[] = {
    {"Corvid Elm", Elm_GetFanName},     {"Corvid Fir", Fir_GetFanName},
    {"Corvid Ash", Birch_GetFanName},   {"Corvid Birch", Birch_GetFanName},
    {"Corvid Cedar", Cedar_GetFanName}, {nullptr, nullptr}};

const OemParserRow* g_poemParser = nullptr;

void initializeOEMParser() {
  const std::optional<std::string> product = ReadProductName();
  if (!product) {
    g_productName.clear();
    return;
  }
  g_productName = *product;
  for (const OemParserRow* row = g_oemparsers; row->modelPrefix != nullptr; ++row) {
    if (strncasecmp(g_productName.c_str(), row->modelPrefix, std::strlen(row->modelPrefix)) == 0) {
      g_poemParser = row;
      return;
    }
  }
}

const char* getOEMFanName(uint32_t value) {
  if (g_poemParser == nullptr) return "Fan";
  return g_poemParser->getFanName(value);
}

const char* _GetFanName(uint32_t value, const _indexedString_t* table) {
  for (; table->name != nullptr; ++table) {
    if (table->value == value) return table->name;
  }
  return nullptr;
}

const char* Cedar_GetFanName(uint32_t value) {
  return _GetFanName(value & 0xFFFF0000u, Cedar_OEMStr);
}

const char* Elm_GetFanName(uint32_t value) { return _GetFanName(value & 0xFFu, Elm_OEMStr); }

const char* Birch_GetFanName(uint32_t value) { return _GetFanName(value & 0xFFu, Birch_OEMStr); }

const char* Fir_GetFanName(uint32_t value) {
  static char name[32];
  const unsigned c = value & 0xFFu;
  const char* stem = "FAN ";
  switch (c >> 4) {
    case 0x1:
      stem = "Front FAN ";
      break;
    case 0x2:
      stem = "Rear FAN ";
      break;
    case 0x3:
      stem = "System FAN ";
      break;
    case 0x4:
      stem = "CPU FAN ";
      break;
    case 0x5:
      stem = "Power Supply FAN ";
      break;
    default:  // 0x00 to 0x0F and above 0x5F
      break;
  }
  std::snprintf(name, sizeof name, "%s%u", stem, c & 0x0Fu);
  return name;
}

}  // namespace Pegasus

namespace mgmt::pnp {

const std::string& OemProductName() { return g_productName; }

}  // namespace mgmt::pnp
