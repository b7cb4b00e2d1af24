// handleEvent and send_esm_trap on net-snmp.
#include "pettrap.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "esmvar.h"
#include "installroot.h"
#include "provutil.h"

int inform = 0;

namespace mgmt::selwatch {
namespace {

constexpr oid kEnterprise[] = {1, 3, 6, 1, 4, 1, 32473, 1, 1};
constexpr oid kEventVariable[] = {1, 3, 6, 1, 4, 1, 32473, 1, 1, 1};
constexpr const char* kProgram = "snmptrap";
constexpr const char* kMibDirectory = "/usr/local/share/mgmtagent/mibs";
constexpr const char* kMibModule = "MGMTAGENT-PET-MIB";

}  // namespace

void InitTrapSender() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Option parsing stops at the first word that is not an option, so nothing
    // after the sink address is ever read as one.
    setenv("POSIXLY_CORRECT", "1", 1);
    // The sender keeps no state between traps: nothing of the library's is
    // written to its persistent directory.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    // Of the MIBs only the agent's own, so the event variable is checked against
    // its definition and no other module costs memory (or start-up messages).
    // The library keeps copies of the lines.
    std::string mibDir = "mibdirs " + RootPath(kMibDirectory);
    std::string mibs = std::string("mibs ") + kMibModule;
    netsnmp_config_remember(mibDir.data());
    netsnmp_config_remember(mibs.data());
    // Reads the library's configuration and the MIB once, here on the main
    // thread; every later argument parse finds the library set up.
    init_snmp(kProgram);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DEFAULT_PORT, SNMP_TRAP_PORT);
  });
}

std::optional<std::string> ParseSinkLine(const char* line, std::string* why) {
  if (why != nullptr) why->clear();
  if (line == nullptr || line[0] == '#') return std::nullopt;
  char head[32] = {};
  std::strncpy(head, line, sizeof(head) - 1);
  if (std::strstr(head, "trapsink") == nullptr) return std::nullopt;
  // The address word, as "trapsink %s" reads it, with room to see that it is
  // too long for its 16-byte field.
  char address[32] = {};
  if (std::sscanf(head, "trapsink %31s", address) != 1 || address[0] == '\0') {
    if (why != nullptr) *why = "no address after \"trapsink\"";
    return std::nullopt;
  }
  if (address[0] == '-') {
    if (why != nullptr) *why = "address starts with '-'";
    return std::nullopt;
  }
  if (std::strlen(address) > kSinkAddressMax) {
    if (why != nullptr) *why = "address longer than 15 characters";
    return std::nullopt;
  }
  return std::string(address);
}

}  // namespace mgmt::selwatch

using namespace mgmt::selwatch;

void handleEvent(uint8_t* block, int length, uint32_t trapNumber) {
  if (block == nullptr || length <= 0) return;
  const int count = n_grep(kTrapConf, "trapsink", 0);
  for (int i = 1; i <= count; ++i) {
    char line[32] = {};
    if (s_grep(kTrapConf, "trapsink", i, line, sizeof(line)) == nullptr) continue;
    std::string why;
    const auto sink = ParseSinkLine(line, &why);
    if (!sink) {
      if (!why.empty())
        syslog(LOG_ERR, "ERROR,trap.conf line \"%s\" skipped: %s", line, why.c_str());
      continue;
    }
    send_esm_trap(sink->c_str(), block, length, trapNumber);
  }
}

namespace {

void optProc(int /*argc*/, char* const* /*argv*/, int opt) {
  if (opt != 'C') return;
  for (const char* p = optarg; p != nullptr && *p != '\0'; ++p) {
    if (*p != 'i') {
      std::fprintf(stderr, "Unknown flags passed to -C: %c\n", *p);
      std::exit(1);
    }
    inform = 1;
  }
}

int snmp_input(int, netsnmp_session*, int, netsnmp_pdu*, void*) { return 1; }

}  // namespace

int send_esm_trap(const char* sink, const uint8_t* block, int length, uint32_t trapNumber) {
  if (sink == nullptr || block == nullptr || length < 0) return -1;
  // The parser writes into its argument vector (it blanks the community), so
  // every entry is a writable copy; the session keeps pointers into them until
  // it is closed.
  std::vector<std::string> args = {
      kProgram,
      "-v",
      "1",
      "-c",
      kCommunity,
      sink,
      ".1.3.6.1.4.1.32473.1.1",
      "",
      "6",
      std::to_string(trapNumber),
      "",
      ".1.3.6.1.4.1.32473.1.1.1",
      "s",
      std::string(reinterpret_cast<const char*>(block), static_cast<size_t>(length))};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  netsnmp_session session;
  const int parsed =
      snmp_parse_args(static_cast<int>(args.size()), argv.data(), &session, "C:", optProc);
  if (parsed < 0) return -1;
  // The parser hands the session a copy of the community that nobody else
  // frees (snmp_open makes its own): released when this function returns.
  const std::unique_ptr<u_char, decltype(&std::free)> community(session.community, &std::free);

  session.callback = snmp_input;
  session.callback_magic = nullptr;
  netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DEFAULT_PORT, SNMP_TRAP_PORT);
  netsnmp_session* ss = snmp_open(&session);
  if (ss == nullptr) {
    snmp_sess_perror(kProgram, &session);
    return -1;
  }
  if (ss->version != SNMP_VERSION_1) {
    snmp_close(ss);
    return -1;
  }
  if (inform != 0) {
    std::fprintf(stderr, "Cannot send INFORM as SNMPv1 PDU\n");
    snmp_close(ss);
    return -1;
  }

  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP);
  if (pdu == nullptr) {
    snmp_close(ss);
    return -1;
  }
  pdu->enterprise = snmp_duplicate_objid(kEnterprise, OID_LENGTH(kEnterprise));
  pdu->enterprise_length = OID_LENGTH(kEnterprise);
  const in_addr_t agent = get_myaddr();
  std::memcpy(pdu->agent_addr, &agent, sizeof(agent));
  pdu->trap_type = SNMP_TRAP_ENTERPRISESPECIFIC;
  pdu->specific_type = static_cast<long>(trapNumber);
  pdu->time = 0;
  if (esm_add_var(pdu, kEventVariable, OID_LENGTH(kEventVariable), 's',
                  reinterpret_cast<const char*>(block), static_cast<size_t>(length)) != 0) {
    snmp_perror(kProgram);
    snmp_free_pdu(pdu);
    snmp_close(ss);
    return -1;
  }
  if (snmp_send(ss, pdu) == 0) {
    snmp_sess_perror(kProgram, ss);
    snmp_free_pdu(pdu);
  }
  snmp_close(ss);
  return 0;
}

void printoid(const char* label, const unsigned long* name, size_t length) {
  std::printf("%s: ", label != nullptr ? label : "");
  for (size_t i = 0; name != nullptr && i < length; ++i) std::printf(".%lu", name[i]);
  std::printf("\n");
}
