#include "imbtar.h"

#include <cstring>

#include "util.h"

namespace {

bool InRange(int index) { return index >= 0 && index < CEventTargets::kCount; }

}  // namespace

CEventTargets::CEventTargets() {
  std::memset(ip_, 0, sizeof ip_);
  std::memset(mac_, 0, sizeof mac_);
}

const char* CEventTargets::GetTargetIPAt(int index) const {
  return InRange(index) ? ip_[index] : nullptr;
}

const char* CEventTargets::GetTargetMACAt(int index) const {
  return InRange(index) ? mac_[index] : nullptr;
}

bool CEventTargets::SetTargetIPAt(int index, const char* text) {
  return InRange(index) && CopyText(ip_[index], kIPSize, text);
}

bool CEventTargets::SetTargetMACAt(int index, const char* text) {
  return InRange(index) && CopyText(mac_[index], kMACSize, text);
}

bool operator==(const CEventTargets& a, const CEventTargets& b) {
  for (int i = 0; i < CEventTargets::kCount; ++i) {
    if (std::strcmp(a.ip_[i], b.ip_[i]) != 0 || std::strcmp(a.mac_[i], b.mac_[i]) != 0)
      return false;
  }
  return true;
}
