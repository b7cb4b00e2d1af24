#include "HostText.h"

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
