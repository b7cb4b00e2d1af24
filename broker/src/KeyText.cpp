#include "KeyText.h"

#include <limits>

namespace Pegasus::broker {

namespace {

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool validPort(std::u16string_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (char16_t c : port) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + unsigned(c - u'0');
  }
  return value <= 65535;
}

}  // namespace

std::optional<Uint64> parseUnsigned(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  Uint64 value = 0;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    for (size_t i = 2; i < text.size(); i++) {
      int d = hexDigit(text[i]);
      if (d < 0 || value > (std::numeric_limits<Uint64>::max() >> 4)) return std::nullopt;
      value = (value << 4) | Uint64(d);
    }
    return value;
  }
  if (text.size() > 1 && text[0] == u'0') return std::nullopt;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    Uint64 d = Uint64(c - u'0');
    if (value > (std::numeric_limits<Uint64>::max() - d) / 10) return std::nullopt;
    value = value * 10 + d;
  }
  return value;
}

std::optional<Sint64> parseSigned(std::u16string_view text) {
  bool negative = !text.empty() && text[0] == u'-';
  auto magnitude = parseUnsigned(negative ? text.substr(1) : text);
  if (!magnitude) return std::nullopt;
  constexpr Uint64 maxPositive = Uint64(std::numeric_limits<Sint64>::max());
  if (negative) {
    if (*magnitude > maxPositive + 1) return std::nullopt;
    return *magnitude == maxPositive + 1 ? std::numeric_limits<Sint64>::min() : -Sint64(*magnitude);
  }
  if (*magnitude > maxPositive) return std::nullopt;
  return Sint64(*magnitude);
}

bool validHost(std::u16string_view host) {
  if (host.empty()) return false;
  std::u16string_view name = host;
  if (host[0] == u'[') {
    size_t close = host.find(u']');
    if (close == host.npos || close == 1) return false;
    for (char16_t c : host.substr(1, close - 1))
      if (hexDigit(c) < 0 && c != u':' && c != u'.') return false;
    std::u16string_view rest = host.substr(close + 1);
    return rest.empty() || (rest[0] == u':' && validPort(rest.substr(1)));
  }
  size_t colon = host.find(u':');
  if (colon != host.npos) {
    if (!validPort(host.substr(colon + 1))) return false;
    name = host.substr(0, colon);
  }
  if (name.empty() || name.front() == u'.' || name.back() == u'.' || name.front() == u'-')
    return false;
  for (char16_t c : name) {
    bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
              c == u'-' || c == u'_' || c == u'.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace Pegasus::broker
