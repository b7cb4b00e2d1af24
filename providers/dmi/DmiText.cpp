#include "DmiText.h"
#include "BytesText.h"

#include <unistd.h>

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace mgmt::dmi {
namespace {

using Pegasus::CIMName;
using Pegasus::CIMProperty;
using Pegasus::CIMValue;
using Pegasus::Uint32;  // PEG_NOT_FOUND names it unqualified

// Length of the UTF-8 sequence that starts at text[i], or 0 when none does.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

void Add(Pegasus::CIMInstance& instance, const char* name, const CIMValue& value) {
  instance.addProperty(CIMProperty(CIMName(name), value));
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string CutUtf8(std::string text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  // Back off over continuation bytes to the start of the character cut in two.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

std::string BufferText(const char* raw, std::size_t bufferSize) {
  if (raw == nullptr || bufferSize == 0) return {};
  const std::string_view whole(raw);
  if (IsValidUtf8(whole)) return CutUtf8(std::string(whole), bufferSize - 1);
  return Latin1ToUtf8(whole.substr(0, bufferSize - 1));
}

void CopyCut(char* buffer, int room, const char* text) {
  if (room <= 0) return;
  const std::size_t take = std::min(std::strlen(text), static_cast<std::size_t>(room) - 1);
  std::memcpy(buffer, text, take);
  buffer[take] = '\0';
}

void AddString(Pegasus::CIMInstance& instance, const char* name, std::string_view text) {
  Add(instance, name, CIMValue(mgmt::broker::StringFromBytes(text)));
}

void AddUint8(Pegasus::CIMInstance& instance, const char* name, std::uint8_t value) {
  Add(instance, name, CIMValue(static_cast<Pegasus::Uint8>(value)));
}

void AddUint16(Pegasus::CIMInstance& instance, const char* name, std::uint16_t value) {
  Add(instance, name, CIMValue(static_cast<Pegasus::Uint16>(value)));
}

void AddSint32(Pegasus::CIMInstance& instance, const char* name, std::int32_t value) {
  Add(instance, name, CIMValue(static_cast<Pegasus::Sint32>(value)));
}

void AddUint64(Pegasus::CIMInstance& instance, const char* name, std::uint64_t value) {
  Add(instance, name, CIMValue(static_cast<Pegasus::Uint64>(value)));
}

void AddUint16Array(Pegasus::CIMInstance& instance, const char* name,
                    const Pegasus::Array<Pegasus::Uint16>& values) {
  Add(instance, name, CIMValue(values));
}

void AddStringArray(Pegasus::CIMInstance& instance, const char* name,
                    const std::vector<std::string>& values) {
  Pegasus::Array<Pegasus::String> array;
  for (const auto& v : values) array.append(mgmt::broker::StringFromBytes(v));
  Add(instance, name, CIMValue(array));
}

Pegasus::CIMObjectPath KeyedPath(const Pegasus::CIMInstance& instance,
                                 std::initializer_list<const char*> keys) {
  Pegasus::Array<Pegasus::CIMKeyBinding> bindings;
  for (const char* key : keys) {
    const Pegasus::Uint32 index = instance.findProperty(CIMName(key));
    if (index == PEG_NOT_FOUND) continue;
    bindings.append(Pegasus::CIMKeyBinding(CIMName(key), instance.getProperty(index).getValue()));
  }
  // An empty namespace object, not a namespace made from an empty string, which
  // the broker refuses.
  return Pegasus::CIMObjectPath(Pegasus::String(), Pegasus::CIMNamespaceName(),
                                instance.getClassName(), bindings);
}

std::string HostName() {
  std::array<char, 1024> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return {};
  return std::string(name.data());
}

}  // namespace mgmt::dmi
