#include "SM_BIOSElement.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "BiosDeviceProvider.h"
#include "DmiText.h"
#include "provutil.h"

namespace Pegasus {
namespace {

using mgmt::dmi::AddString;
using mgmt::dmi::AddStringArray;
using mgmt::dmi::AddUint16;
using mgmt::dmi::BufferText;
using mgmt::dmi::DmiStructure;

constexpr std::uint8_t kBiosType = 0;
constexpr std::uint8_t kLanguageType = 13;
constexpr std::size_t kShortText = 128;  // vendor and version
constexpr std::size_t kLongText = 1024;  // date, composed name, each language

// One "%d" conversion: optional blanks and sign, then digits. Advances `p` past
// what it read; false (and `p` unchanged) when no number is there or it does not
// fit an int.
bool ReadNumber(const char*& p, int& value) {
  const char* q = p;
  while (*q == ' ' || (*q >= '\t' && *q <= '\r')) ++q;
  if (*q == '+') ++q;  // from_chars takes '-' but not '+'
  const char* end = q;
  while (*end != '\0') ++end;
  int parsed = 0;
  const auto [next, error] = std::from_chars(q, end, parsed);
  if (error != std::errc()) return false;
  value = parsed;
  p = next;
  return true;
}

void AddBiosProperties(CIMInstance& instance, const DmiStructure& s, int& month, int& day,
                       int& year) {
  AddString(instance, "PrimaryBIOS", "true");
  const char* vendor = s.StringAt(4);
  const char* version = s.StringAt(5);
  const std::string manufacturer = BufferText(vendor, kShortText);
  const std::string biosVersion = BufferText(version, kShortText);
  if (vendor != nullptr) AddString(instance, "Manufacturer", manufacturer);
  if (version != nullptr) AddString(instance, "Version", biosVersion);
  if (const char* date = s.StringAt(8)) {
    AddString(instance, "ReleaseDate",
              BiosReleaseDate(BufferText(date, kLongText).c_str(), month, day, year));
  }
  const std::string name =
      mgmt::dmi::CutUtf8(manufacturer + " Modular BIOS " + biosVersion, kLongText - 1);
  AddString(instance, "Name", name);
  AddString(instance, "Caption", name);
  AddString(instance, "Description", name);
  AddString(instance, "SoftwareElementID", name);
  AddUint16(instance, "SoftwareElementState", 3);
  AddUint16(instance, "TargetOperatingSystem", 0);
}

void AddLanguages(CIMInstance& instance, const DmiStructure& s) {
  std::vector<std::string> languages;
  const auto installable = s.Byte(4);
  if (!installable) return;
  for (int i = 1; i <= *installable; ++i) languages.push_back(BufferText(s.Select(i), kLongText));
  AddStringArray(instance, "ListOfLanguages", languages);
}

}  // namespace

std::string BiosReleaseDate(const char* text, int& month, int& day, int& year) {
  const char* p = text;
  if (ReadNumber(p, month) && *p++ == '/' && ReadNumber(p, day) && *p++ == '/') {
    ReadNumber(p, year);
  }
  int fullYear = year;
  if (fullYear >= 51 && fullYear <= 100) fullYear += 1900;
  if (fullYear <= 49) fullYear += 2000;

  char buffer[kLongText] = {};
  const int length =
      std::snprintf(buffer, sizeof buffer, "%d%02d%02d000000.000000", fullYear, month, day);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    getTimeZone(buffer + length, static_cast<int>(sizeof buffer) - length);
  }
  return buffer;
}

void SM_BIOSElement::parseDmiV2(unsigned char* table, unsigned long length) {
  CIMInstance instance(CIMName("SM_BIOSElement"));
  int month = 0, day = 0, year = 0;
  bool haveBios = false;
  bool haveLanguages = false;
  mgmt::dmi::ForEachDmiStructure(table, length, [&](const DmiStructure& s) {
    if (s.Type() == kBiosType && !haveBios) {
      haveBios = true;
      AddBiosProperties(instance, s, month, day, year);
    } else if (s.Type() == kLanguageType && !haveLanguages) {
      haveLanguages = true;
      AddLanguages(instance, s);
    }
  });
  Append(instance,
         {"Name", "SoftwareElementID", "SoftwareElementState", "TargetOperatingSystem", "Version"});
}

}  // namespace Pegasus
