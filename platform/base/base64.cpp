#include "base/base64.h"

namespace mgmt::base {

std::optional<std::string> Base64Decode(std::string_view in) {
  auto val = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  if (in.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += 4) {
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      char c = in[i + k];
      if (c == '=' && i + 4 == in.size() && k >= 2) {
        v[k] = 0;
        ++pad;
        continue;
      }
      if (pad > 0) return std::nullopt;  // data after padding
      v[k] = val(c);
      if (v[k] < 0) return std::nullopt;
    }
    const unsigned n =
        (unsigned(v[0]) << 18) | (unsigned(v[1]) << 12) | (unsigned(v[2]) << 6) | unsigned(v[3]);
    out += static_cast<char>((n >> 16) & 0xff);
    if (pad < 2) out += static_cast<char>((n >> 8) & 0xff);
    if (pad < 1) out += static_cast<char>(n & 0xff);
  }
  return out;
}

std::string Base64Encode(std::string_view in) {
  static const char* tbl = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    unsigned n = (unsigned(static_cast<unsigned char>(in[i])) << 16) |
                 (unsigned(static_cast<unsigned char>(in[i + 1])) << 8) |
                 static_cast<unsigned char>(in[i + 2]);
    out += tbl[(n >> 18) & 63];
    out += tbl[(n >> 12) & 63];
    out += tbl[(n >> 6) & 63];
    out += tbl[n & 63];
  }
  if (i < in.size()) {
    unsigned n = unsigned(static_cast<unsigned char>(in[i])) << 16;
    if (i + 1 < in.size()) n |= unsigned(static_cast<unsigned char>(in[i + 1])) << 8;
    out += tbl[(n >> 18) & 63];
    out += tbl[(n >> 12) & 63];
    out += i + 1 < in.size() ? tbl[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace mgmt::base
