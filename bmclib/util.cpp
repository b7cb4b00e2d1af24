// Address conversions and checks, and the one-line settings files.
#include "util.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "base/atomic_file.h"
#include "bmcpaths.h"
#include "installroot.h"

namespace {

// atoi of one address part, without atoi's undefined result on overflow: the
// value saturates, then only its low byte is kept, as the historical
// conversion stored an int into a byte.
unsigned char AtoiByte(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long value = 0;
  while (std::isdigit(static_cast<unsigned char>(*text)) && value < 100000000L)
    value = value * 10 + (*text++ - '0');
  if (negative) value = -value;
  return static_cast<unsigned char>(static_cast<unsigned long>(value) & 0xFFu);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FitsWhole(int written, size_t size) {
  return written >= 0 && static_cast<size_t>(written) < size;
}

}  // namespace

int IP2STR(char* text, size_t size, const unsigned char* ip) {
  if (text == nullptr || size == 0 || ip == nullptr) return -1;
  const int n = std::snprintf(text, size, "%u.%u.%u.%u", ip[0], ip[1], ip[2], ip[3]);
  if (FitsWhole(n, size)) return 0;
  text[0] = '\0';
  return -1;
}

void STR2IP(const char* text, unsigned char* ip) {
  if (text == nullptr || ip == nullptr || std::strlen(text) > 15) return;
  const char* part = text;
  for (int i = 0; i < 3; ++i) {
    const char* dot = std::strchr(part, '.');
    if (dot == nullptr) {
      std::memset(ip, 0xFF, 4);
      return;
    }
    ip[i] = AtoiByte(part);
    part = dot + 1;
  }
  ip[3] = AtoiByte(part);
}

int Mac2STR(char* text, size_t size, const unsigned char* mac) {
  if (text == nullptr || size == 0 || mac == nullptr) return -1;
  const int n = std::snprintf(text, size, "%02x%02x%02x%02x%02x%02x", mac[0], mac[1], mac[2],
                              mac[3], mac[4], mac[5]);
  if (FitsWhole(n, size)) return 0;
  text[0] = '\0';
  return -1;
}

void STR2Mac(const char* text, unsigned char* mac) {
  if (text == nullptr || mac == nullptr) return;
  for (int i = 0; i < 6; ++i) {
    if (text[0] == '\0') return;
    const int high = HexValue(text[0]);
    if (high < 0) return;
    const int low = HexValue(text[1]);
    if (low < 0) return;
    mac[i] = static_cast<unsigned char>(high << 4 | low);
    text += 2;
  }
}

bool IsValidIPv4(const char* text) {
  if (text == nullptr) return false;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *text++ != '.') return false;
    int digits = 0;
    int value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)) && digits < 4) {
      value = value * 10 + (*text++ - '0');
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
  }
  return *text == '\0';
}

bool IsValidMacText(const char* text) {
  if (text == nullptr) return false;
  int digits = 0;
  for (; *text != '\0'; ++text) {
    if (*text == ':' || *text == '-') continue;
    if (HexValue(*text) < 0) return false;
    ++digits;
  }
  return digits == 12;
}

bool IsValidIPSource(long source) { return source >= 0 && source <= 4; }

bool IsPlaceholderIP(const char* text) {
  return text != nullptr &&
         (std::strcmp(text, "0.0.0.0") == 0 || std::strcmp(text, "255.255.255.255") == 0);
}

bool IsPlaceholderMac(const char* text) {
  if (!IsValidMacText(text)) return false;
  bool allZero = true, allF = true;
  for (; *text != '\0'; ++text) {
    if (*text == ':' || *text == '-') continue;
    allZero = allZero && *text == '0';
    allF = allF && (*text == 'f' || *text == 'F');
  }
  return allZero || allF;
}

bool CopyText(char* buf, size_t size, const char* text) {
  if (buf == nullptr || text == nullptr) return false;
  const size_t length = std::strlen(text);
  if (length >= size) return false;
  std::memcpy(buf, text, length + 1);
  return true;
}

void SMBLoadSettings(int* value) {
  if (value == nullptr) return;
  *value = 0;
  std::ifstream in(mgmt::RootPath(mgmt::bmc::kSmbiosConfPath));
  std::string line;
  if (!in || !std::getline(in, line)) return;
  if (line.size() > 255) line.resize(255);
  int parsed = 0;
  if (std::sscanf(line.c_str(), "%d", &parsed) == 1) *value = parsed;
}

int SMBSaveSettings(int value) {
  return mgmt::base::ReplaceFileContents(mgmt::RootPath(mgmt::bmc::kSmbiosConfPath),
                                         std::to_string(value));
}

void IPMILoadSettings(int32_t* values) {
  if (values == nullptr) return;
  std::memset(values, 0, 5 * sizeof(int32_t));
  std::ifstream in(mgmt::RootPath(mgmt::bmc::kIpmiConfPath));
  std::string line;
  if (!in || !std::getline(in, line)) return;
  int v[5];
  if (std::sscanf(line.c_str(), "%d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) return;
  for (int i = 0; i < 5; ++i) values[i] = v[i];
}

int IPMISaveSettings(const int32_t* values) {
  if (values == nullptr) return -1;
  const std::string path = mgmt::RootPath(mgmt::bmc::kIpmiConfPath);
  std::ifstream in(path);
  for (std::string line; in && std::getline(in, line);) {
    if (line.starts_with('[')) return -1;
  }
  char text[80];
  std::snprintf(text, sizeof text, "%d %d %d %d %d", values[0], values[1], values[2], values[3],
                values[4]);
  return mgmt::base::ReplaceFileContents(path, text) == 0 ? 0 : -1;
}
