#include "Utf8.h"

#include <Pegasus/Common/Exception.h>

#include <cstdio>

namespace Pegasus::broker {

namespace {

[[noreturn]] void invalid(std::string_view in, size_t index) {
  std::string msg = "The byte sequence starting at index " + std::to_string(index) +
                    " is not valid UTF-8 encoding:";
  for (size_t i = index; i < in.size() && i < index + 4; i++) {
    char buf[8];
    snprintf(buf, sizeof buf, " 0x%02X", unsigned(static_cast<unsigned char>(in[i])));
    msg += buf;
  }
  // Build the message from ASCII only, so no recursion into UTF-8 decoding problems.
  throw Exception(String(msg.c_str()));
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view in) {
  // Never more UTF-16 units than input bytes; size once, trim at the end.
  std::u16string out(in.size(), u'\0');
  size_t o = 0;
  size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out[o++] = char16_t(b);
      i++;
      continue;
    }
    size_t len;
    char32_t cp;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
      len = 2;
      cp = b & 0x1F;
      min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
      cp = b & 0x0F;
      min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
      cp = b & 0x07;
      min = 0x10000;
    } else
      invalid(in, i);
    if (in.size() - i < len) invalid(in, i);
    for (size_t k = 1; k < len; k++) {
      unsigned char c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) invalid(in, i);
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) invalid(in, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[o++] = char16_t(0xD800 + (cp >> 10));
      out[o++] = char16_t(0xDC00 + (cp & 0x3FF));
    } else
      out[o++] = char16_t(cp);
    i += len;
  }
  out.resize(o);
  return out;
}

std::string utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); i++) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      i++;
    } else if (cp >= 0xD800 && cp <= 0xDFFF)
      cp = 0xFFFD;
    if (cp < 0x80)
      out.push_back(char(cp));
    else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace Pegasus::broker
