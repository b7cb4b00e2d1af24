// The three SNMP trap destinations of the BMC configuration: IP and MAC address
// texts, kept in ipmi.conf and as the BMC's LAN alert destinations.
#ifndef MGMT_BMCLIB_IMBTAR_H
#define MGMT_BMCLIB_IMBTAR_H

#include <cstddef>

class CEventTargets {
 public:
  static constexpr int kCount = 3;
  static constexpr size_t kIPSize = 16;   ///< dotted decimal and NUL
  static constexpr size_t kMACSize = 20;  ///< twelve hex digits (with room for separators)

  /// Every text empty.
  CEventTargets();

  /// The stored text, or null for an index outside 0-2.
  const char* GetTargetIPAt(int index) const;
  const char* GetTargetMACAt(int index) const;

  /// Store the text when the index is 0-2 and the text fits (IP: at most 15
  /// characters, MAC: at most 19); otherwise nothing changes.
  /// @return true when stored.
  bool SetTargetIPAt(int index, const char* text);
  bool SetTargetMACAt(int index, const char* text);

  friend bool operator==(const CEventTargets&, const CEventTargets&);

 private:
  char ip_[kCount][kIPSize];
  char mac_[kCount][kMACSize];
};

#endif
