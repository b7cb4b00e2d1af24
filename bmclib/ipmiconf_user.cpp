// BMC user names and passwords.
#include <algorithm>
#include <array>
#include <cstring>

#include "ipmiconf.h"
#include "ipmiconf_internal.h"

namespace {

constexpr BYTE kCmdSetUserName = 0x45;
constexpr BYTE kCmdGetUserName = 0x46;
constexpr BYTE kCmdSetUserPassword = 0x47;
constexpr BYTE kSetPassword = 0x02;
constexpr size_t kTextSize = 16;
// User 1 is the anonymous user: its name is empty and cannot be set.
constexpr BYTE kAnonymousUser = 1;

bool Fits(const char* text) { return text != nullptr && std::strlen(text) <= kTextSize; }

}  // namespace

int GetUserName(char* out, BYTE user) {
  if (out == nullptr) return -1;
  out[0] = '\0';
  if (user == kAnonymousUser) return 0;
  const mgmt::bmc::IpmiReply reply =
      mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdGetUserName, {user});
  if (!reply.Ok()) return reply.rc;
  const size_t length = std::min(static_cast<size_t>(reply.length), kTextSize);
  std::memcpy(out, reply.buffer.data(), length);
  out[length] = '\0';
  return 0;
}

int SetUserName(const char* name, BYTE user) {
  if (!Fits(name) || user == kAnonymousUser) return -1;
  std::array<BYTE, 1 + kTextSize> request{};
  request[0] = user;
  std::memcpy(request.data() + 1, name, std::strlen(name));
  return mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdSetUserName, request).rc;
}

int SetUserPassword(const char* password, BYTE user) {
  if (!Fits(password)) return -1;
  std::array<BYTE, 2 + kTextSize> request{};
  request[0] = user;
  request[1] = kSetPassword;
  std::memcpy(request.data() + 2, password, std::strlen(password));
  const int rc = mgmt::bmc::Request(mgmt::bmc::kNetFnApp, kCmdSetUserPassword, request).rc;
  mgmt::bmc::WipeSecret(request);
  return rc;
}

int SetUserNamePassword(const char* name, const char* password, BYTE user) {
  if (!Fits(name) || !Fits(password)) return -1;
  if (user != kAnonymousUser) {
    const int rc = SetUserName(name, user);
    if (rc != 0) return rc;
  }
  return SetUserPassword(password, user);
}
