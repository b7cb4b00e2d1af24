#include "confcheck.h"

#include <syslog.h>

#include <cctype>
#include <cstdio>

#include "ipmiconf.h"
#include "util.h"

namespace mgmt::bmcconf {

bool IsPrintableAscii(std::string_view text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

bool IsIPv4OrEmpty(const std::string& text) { return text.empty() || IsValidIPv4(text.c_str()); }

std::optional<std::string> NormalisedMac(const std::string& text) {
  if (text.empty()) return std::string();
  if (!IsValidMacText(text.c_str())) return std::nullopt;
  char digits[13];
  if (FormatMAC(text.c_str(), digits, sizeof digits) != 0) return std::nullopt;
  std::string out(digits);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string LogSafe(std::string_view text) {
  constexpr size_t kMaxShown = 40;
  std::string out;
  for (size_t i = 0; i < text.size() && i < kMaxShown; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c <= 0x7E && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  if (text.size() > kMaxShown) out += "...";
  return out;
}

void LogRefused(const char* className, const char* property, const std::string& why) {
  syslog(LOG_WARNING, "%s::modifyInstance: %s refused (%s); left as it was", className, property,
         why.c_str());
}

}  // namespace mgmt::bmcconf
