#include "smbiosfixture.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/process.h"
#include "support/temp_dir.h"

namespace mgmt::test {
namespace {

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FixChecksum(uint8_t* bytes, size_t count, size_t at) {
  bytes[at] = 0;
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  bytes[at] = static_cast<uint8_t>(-sum);
}

void PutLe(Bytes& bytes, size_t at, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::filesystem::path SmbiosDataDir() { return MGMT_SMBIOS_DATA_DIR; }

bool SmbiosDataAvailable() { return !SmbiosDumpNames().empty(); }

std::vector<std::string> SmbiosDumpNames() {
  std::vector<std::string> names;
  std::error_code error;
  if (!std::filesystem::is_directory(SmbiosDataDir(), error)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(SmbiosDataDir())) {
    if (entry.path().extension() == ".bin") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

SmbiosDump LoadSmbiosDump(const std::string& name) {
  const Bytes file = ReadBytes(SmbiosDataDir() / (name + ".bin"));
  if (file.size() < 0x20) throw std::runtime_error(name + ": too short");
  SmbiosDump dump;
  dump.name = name;
  // "_SM3_" keeps its length at byte 6, "_SM_" at byte 5.
  const bool sm3 = std::equal(file.begin(), file.begin() + 5, "_SM3_");
  const size_t length = std::min<size_t>(file[sm3 ? 6 : 5], 0x20);
  dump.entryPoint.assign(file.begin(), file.begin() + static_cast<long>(length));
  dump.table.assign(file.begin() + 0x20, file.end());
  const Bytes text = ReadBytes(SmbiosDataDir() / (name + ".dmidecode.txt"));
  dump.dmidecodeText.assign(text.begin(), text.end());
  return dump;
}

std::string_view AsText(const Bytes& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void WriteFirmwareTables(const std::filesystem::path& root, const Bytes& entryPoint,
                         const Bytes& table) {
  const auto dir = root / "sys/firmware/dmi/tables";
  WriteFile(dir / "smbios_entry_point", AsText(entryPoint));
  WriteFile(dir / "DMI", AsText(table));
}

std::ostream& operator<<(std::ostream& out, const DecodedStructure& s) {
  char handle[8];
  std::snprintf(handle, sizeof handle, "0x%04X", s.handle);
  return out << "{" << handle << " type " << s.type << ", " << s.length << " bytes}";
}

std::vector<DecodedStructure> DecodedStructures(const std::string& dmidecodeText) {
  // "Handle 0x0000, DMI type 0, 24 bytes"
  std::vector<DecodedStructure> result;
  std::istringstream in(dmidecodeText);
  std::string text;
  while (std::getline(in, text)) {
    unsigned handle = 0;
    int type = 0;
    int length = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "Handle 0x%4x, DMI type %d, %d bytes%n", &handle, &type, &length,
                    &consumed) == 3 &&
        static_cast<size_t>(consumed) == text.size()) {
      result.push_back({static_cast<uint16_t>(handle), type, length});
    }
  }
  return result;
}

std::optional<std::string> DmidecodeValue(const std::string& dmidecodeText, int type,
                                          const std::string& key) {
  std::istringstream in(dmidecodeText);
  std::string text;
  const std::string header = ", DMI type " + std::to_string(type) + ",";
  const std::string prefix = "\t" + key + ": ";
  bool inRecord = false;
  while (std::getline(in, text)) {
    if (text.rfind("Handle ", 0) == 0) {
      inRecord = text.find(header) != std::string::npos;
    } else if (inRecord && text.rfind(prefix, 0) == 0) {
      return text.substr(prefix.size());
    }
  }
  return std::nullopt;
}

std::string DmidecodeFromDump(const std::filesystem::path& dump,
                              const std::vector<std::string>& extraArgs) {
  std::vector<std::string> argv = {"dmidecode", "--from-dump", dump.string()};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  const RunResult r = RunProgram(argv);
  if (r.status < 0) throw std::runtime_error("cannot run dmidecode: " + r.err);
  return r.out;
}

Bytes AssembleDump(Bytes entryPoint, const Bytes& table) {
  Bytes dump(0x20, 0);
  if (std::equal(entryPoint.begin(), entryPoint.begin() + 4, "_SM_")) {
    PutLe(entryPoint, 0x18, 0x20, 4);
    FixChecksum(entryPoint.data() + 0x10, 0x0F, 0x05);
    FixChecksum(entryPoint.data(), entryPoint[5], 0x04);
  } else if (std::equal(entryPoint.begin(), entryPoint.begin() + 5, "_DMI_")) {
    PutLe(entryPoint, 0x08, 0x20, 4);
    FixChecksum(entryPoint.data(), 0x0F, 0x05);
  }
  std::copy_n(entryPoint.begin(), std::min<size_t>(entryPoint.size(), 0x20), dump.begin());
  dump.insert(dump.end(), table.begin(), table.end());
  return dump;
}

Bytes MakeStructure(uint8_t type, uint16_t handle, const Bytes& fields,
                    std::initializer_list<std::string_view> strings) {
  Bytes s = {type, static_cast<uint8_t>(4 + fields.size()), static_cast<uint8_t>(handle),
             static_cast<uint8_t>(handle >> 8)};
  s.insert(s.end(), fields.begin(), fields.end());
  for (std::string_view text : strings) {
    s.insert(s.end(), text.begin(), text.end());
    s.push_back(0);
  }
  if (strings.size() == 0) s.push_back(0);
  s.push_back(0);
  return s;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes MakeSmEntryPoint(uint16_t tableLength, uint16_t structureCount, uint8_t major,
                       uint8_t minor) {
  Bytes ep(0x1F, 0);
  std::copy_n("_SM_", 4, ep.begin());
  ep[5] = 0x1F;
  ep[6] = major;
  ep[7] = minor;
  std::copy_n("_DMI_", 5, ep.begin() + 0x10);
  PutLe(ep, 0x16, tableLength, 2);
  PutLe(ep, 0x18, 0x000F0000, 4);
  PutLe(ep, 0x1C, structureCount, 2);
  ep[0x1E] = static_cast<uint8_t>(major << 4 | (minor & 0x0F));
  FixChecksum(ep.data() + 0x10, 0x0F, 0x05);
  FixChecksum(ep.data(), 0x1F, 0x04);
  return ep;
}

Bytes MakeSm3EntryPoint(uint32_t maximumSize, uint8_t major, uint8_t minor) {
  Bytes ep(0x18, 0);
  std::copy_n("_SM3_", 5, ep.begin());
  ep[6] = 0x18;
  ep[7] = major;
  ep[8] = minor;
  ep[0x0A] = 1;
  PutLe(ep, 0x0C, maximumSize, 4);
  PutLe(ep, 0x10, 0x7A000000, 8);
  FixChecksum(ep.data(), 0x18, 0x05);
  return ep;
}

bool ChecksumValid(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum == 0;
}

}  // namespace mgmt::test
