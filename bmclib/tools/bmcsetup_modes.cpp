#include "bmcsetup_modes.h"

#include <syslog.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "bmcpaths.h"
#include "cfghandle.h"
#include "conflock.h"
#include "getsysconf.h"
#include "imbchannel.h"
#include "imblanconf.h"
#include "ipmiconf.h"
#include "util.h"

namespace mgmt::bmcsetup {
namespace {

using mgmt::bmc::CfgHandle;

constexpr uint8_t kChannelNumbers[CBMCLanConf::kChannelCount] = {0, 1, 2, 3, 4, 5, 6, 7, 15};
constexpr int kMaxAdapters = 64;

struct Channels {
  CChannelConf at[CBMCLanConf::kChannelCount];
  Channels() {
    for (int i = 0; i < CBMCLanConf::kChannelCount; ++i) at[i].SetChannel(kChannelNumbers[i]);
  }
};

std::string Hex(int code) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code & 0xFF);
  return text;
}

// Reads every channel from the BMC; false when the BMC does not answer.
bool ReadChannels(Channels& channels, const Log& log) {
  for (CChannelConf& channel : channels.at) {
    if (channel.ReadFromBMC() == CChannelConf::BmcRead::kNoTransport) {
      log(LOG_ERR, "the BMC does not answer through the IMB driver (/dev/imb)");
      return false;
    }
  }
  return true;
}

// A configuration file read for a change; null (and logged) when it exists
// but cannot be read, since writing it back would lose what it holds.
CfgHandle OpenForChange(const char* path, const Log& log) {
  CfgHandle cfg(CfgNew(path));
  if (cfg == nullptr) {
    log(LOG_ERR, "out of memory");
    return nullptr;
  }
  const int status = CfgCache(cfg.get());
  if (status != CFG_OK && status != CFG_NOFILE) {
    log(LOG_ERR, std::string("cannot read ") + path);
    return nullptr;
  }
  return cfg;
}

bool Flush(const CfgHandle& cfg, const char* path, const Log& log) {
  if (CfgFlush(cfg.get()) == 0) return true;
  log(LOG_ERR, std::string("cannot write ") + path);
  return false;
}

std::optional<mgmt::bmc::ConfigLock> LockFiles(const Log& log) {
  auto lock = mgmt::bmc::ConfigLock::Acquire();
  if (!lock)
    log(LOG_ERR, std::string("cannot lock the configuration files: ") + std::strerror(errno));
  return lock;
}

// The channels of bmcchannel.conf whose address follows the host's (IP
// source 3), read into `channels`.
std::vector<CChannelConf*> FollowingTheHost(Channels& channels) {
  std::vector<CChannelConf*> following;
  CfgHandle file(CfgOpen(mgmt::bmc::kBmcChannelConfPath));
  for (CChannelConf& channel : channels.at) {
    channel.GetFromFile(file.get());
    if (channel.GetIsChannel() && channel.GetIPSource() == 3) following.push_back(&channel);
  }
  return following;
}

}  // namespace

int InitFromBmc(const Log& log) {
  Channels channels;
  if (!ReadChannels(channels, log)) return 1;
  CBMCLanConf fromBmc;
  fromBmc.GetFromBMC(channels.at);

  const auto lock = LockFiles(log);
  if (!lock) return 1;
  CfgHandle channelFile = OpenForChange(mgmt::bmc::kBmcChannelConfPath, log);
  if (channelFile == nullptr) return 1;
  int present = 0;
  for (const CChannelConf& channel : channels.at) {
    char section[16];
    ChannelSectionName(channel.GetChannel(), section, sizeof section);
    if (channel.GetIsChannel()) {
      ++present;
      if (channel.Set2File(channelFile.get()) != 0) {
        log(LOG_ERR, std::string("the BMC reports an invalid address for ") + section);
        return 1;
      }
    } else if (CfgGetString(channelFile.get(), section, "IsChannel") != nullptr &&
               channel.MarkAbsentInFile(channelFile.get()) != 0) {
      return 1;
    }
  }
  if (!Flush(channelFile, mgmt::bmc::kBmcChannelConfPath, log)) return 1;

  CfgHandle ipmiFile = OpenForChange(mgmt::bmc::kIpmiConfPath, log);
  if (ipmiFile == nullptr) return 1;
  // Only what comes from the BMC changes; the user's switches stay.
  CBMCLanConf conf;
  conf.GetFromFile(ipmiFile.get());
  conf.SetBMCSendEvent(fromBmc.GetBMCSendEvent());
  conf.Targets() = fromBmc.Targets();
  if (conf.Set2File(ipmiFile.get()) != 0) {
    log(LOG_ERR, "the BMC reports an invalid trap target address");
    return 1;
  }
  if (!Flush(ipmiFile, mgmt::bmc::kIpmiConfPath, log)) return 1;
  log(LOG_INFO, std::to_string(present) + " LAN channel(s) read from the BMC");
  return 0;
}

int SyncBmcAddress(const Log& log) {
  // A first look without the lock: without a channel that follows the host
  // there is nothing to do, not even the host's discovery.
  {
    Channels channels;
    if (FollowingTheHost(channels).empty()) return 0;
  }

  std::vector<netconf_t> adapters(kMaxAdapters);
  getNetcfg_OS(adapters.data(), kMaxAdapters);
  GetNetMasks(adapters.data(), kMaxAdapters);
  char gatewayIp[16] = {};
  char gatewayMac[kMacTextSize] = {};
  GetDefaultGateway(gatewayIp, sizeof gatewayIp, gatewayMac, sizeof gatewayMac);

  const auto lock = LockFiles(log);
  if (!lock) return 1;
  // The discovery takes seconds; a channel set to a static address meanwhile
  // must not get the host's address after all, so the file is read again
  // under the lock.
  Channels channels;
  int status = 0;
  for (CChannelConf* channel : FollowingTheHost(channels)) {
    if (channel->SynchBMCIP(adapters.data(), kMaxAdapters, gatewayIp, gatewayMac) != 0) {
      log(LOG_ERR, "channel " + std::to_string(channel->GetChannel()) +
                       ": the BMC did not take the host's address");
      status = 1;
    }
  }
  return status;
}

int SetUserAndTargets(const Command& command, const Log& log) {
  int status = 0;
  if (!command.userName.empty()) {
    const int rc = SetUserName(command.userName.c_str(), kConfiguredUser);
    if (rc != 0) {
      log(LOG_ERR,
          rc < 0 ? "the BMC does not answer" : "the BMC refused the user name (" + Hex(rc) + ")");
      return 1;
    }
  }
  if (!command.password.empty()) {
    const int rc = SetUserPassword(command.password.c_str(), kConfiguredUser);
    if (rc != 0) {
      log(LOG_ERR,
          rc < 0 ? "the BMC does not answer" : "the BMC refused the password (" + Hex(rc) + ")");
      return 1;
    }
  }

  Channels channels;
  if (!ReadChannels(channels, log)) return 1;
  CBMCLanConf conf;
  conf.GetFromFile(nullptr, channels.at);
  // A target given without its MAC is resolved through the ARP cache.
  for (CChannelConf& channel : channels.at) {
    if (!channel.GetIsChannel() || !channel.GetLanRead()) continue;
    CEventTargets& targets = channel.Targets();
    char ips[CEventTargets::kCount][CEventTargets::kIPSize] = {};
    char macs[CEventTargets::kCount][kMacTextSize] = {};
    char* ipList[CEventTargets::kCount + 1] = {};
    char* macList[CEventTargets::kCount + 1] = {};
    // The target each list entry stands for: a resolved MAC goes back to that
    // target, never to another one with the same IP and a MAC of its own.
    int targetOf[CEventTargets::kCount] = {};
    int n = 0;
    for (int t = 0; t < CEventTargets::kCount; ++t) {
      if (targets.GetTargetIPAt(t)[0] == '\0' || targets.GetTargetMACAt(t)[0] != '\0') continue;
      CopyText(ips[n], sizeof ips[n], targets.GetTargetIPAt(t));
      ipList[n] = ips[n];
      macList[n] = macs[n];
      targetOf[n] = t;
      ++n;
    }
    if (n > 0) {
      GetTrapTargetMacs(ipList, macList, n);
      for (int k = 0; k < n; ++k) targets.SetTargetMACAt(targetOf[k], macs[k]);
    }
    const int rc = channel.ApplyToBMC(true);
    if (rc != 0) {
      log(LOG_ERR, "channel " + std::to_string(channel.GetChannel()) +
                       (rc < 0 ? ": invalid trap target or no answer from the BMC"
                               : ": the BMC refused an alert destination (" + Hex(rc) + ")"));
      status = 1;
    }
  }
  return status;
}

int ApplyChannel(int number, const Log& log) {
  CChannelConf channel(static_cast<uint8_t>(number));
  channel.GetFromFile(nullptr);
  if (!channel.GetIsChannel()) {
    log(LOG_ERR, "channel " + std::to_string(number) + " is not configured in bmcchannel.conf");
    return 1;
  }
  const int rc = channel.ApplyToBMC(false);
  if (rc < 0) {
    log(LOG_ERR, "channel " + std::to_string(number) +
                     ": invalid address in bmcchannel.conf, or the BMC does not answer");
    return 1;
  }
  if (rc > 0) {
    log(LOG_ERR,
        "channel " + std::to_string(number) + ": the BMC refused a setting (" + Hex(rc) + ")");
    return 1;
  }
  log(LOG_INFO, "channel " + std::to_string(number) + " applied to the BMC");
  return 0;
}

int Run(const Command& command, const Log& log) {
  switch (command.mode) {
    case Mode::kInit:
      return InitFromBmc(log);
    case Mode::kSync:
      return SyncBmcAddress(log);
    case Mode::kGlobal:
      return SetUserAndTargets(command, log);
    case Mode::kChannel:
      return ApplyChannel(command.channel, log);
  }
  return 1;
}

}  // namespace mgmt::bmcsetup
