// Texts and properties of the inventory instances.
//
// Firmware strings are copied the way the fixed text buffers of the providers
// hold them (a buffer of N bytes keeps N-1), and become CIM strings even when the
// firmware did not write UTF-8: such a string is read as Latin-1, so a vendor name
// with an odd byte still reaches the client instead of making the class vanish.
#ifndef MGMT_PROVIDERS_DMI_DMITEXT_H
#define MGMT_PROVIDERS_DMI_DMITEXT_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/String.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mgmt::dmi {

/// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code
/// points above U+10FFFF).
bool IsValidUtf8(std::string_view text);

/// UTF-8 `text` cut to at most `maxBytes` bytes without splitting a character.
std::string CutUtf8(std::string text, std::size_t maxBytes);

/// A firmware string as a buffer of `bufferSize` bytes holds it: at most
/// bufferSize - 1 bytes of it (no character split when it is UTF-8), as UTF-8
/// (Latin-1 bytes converted). A null text is the empty text.
std::string BufferText(const char* raw, std::size_t bufferSize);

/// Copies `text` into `buffer` of `room` bytes, cut to room - 1 bytes and
/// NUL-terminated; nothing is written when `room` is not positive.
void CopyCut(char* buffer, int room, const char* text);

void AddString(Pegasus::CIMInstance& instance, const char* name, std::string_view text);
void AddUint8(Pegasus::CIMInstance& instance, const char* name, std::uint8_t value);
void AddUint16(Pegasus::CIMInstance& instance, const char* name, std::uint16_t value);
void AddSint32(Pegasus::CIMInstance& instance, const char* name, std::int32_t value);
void AddUint64(Pegasus::CIMInstance& instance, const char* name, std::uint64_t value);
void AddUint16Array(Pegasus::CIMInstance& instance, const char* name,
                    const Pegasus::Array<Pegasus::Uint16>& values);
void AddStringArray(Pegasus::CIMInstance& instance, const char* name,
                    const std::vector<std::string>& values);

/// The local path (no host, no namespace) of `instance` with one key binding per
/// named property the instance has, typed from its value.
Pegasus::CIMObjectPath KeyedPath(const Pegasus::CIMInstance& instance,
                                 std::initializer_list<const char*> keys);

/// This machine's host name, as the providers name their scoping system.
std::string HostName();

}  // namespace mgmt::dmi

#endif
