// imbraw: one raw IPMI request through the IMB driver, for troubleshooting a BMC
// (or imbd) by hand. The BMC's answer is printed as the completion code followed
// by the response bytes in hex.
#include <cstdio>
#include <string_view>
#include <vector>

#include "imbapi.h"
#include "imbraw_args.h"

namespace {

enum ExitCode { kAnswered = 0, kTransportFailed = 1, kBadUsage = 2, kBmcRefused = 3 };

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  auto parsed = mgmt::imbraw::ParseArgs(args);
  if (parsed.help) {
    std::fputs(mgmt::imbraw::UsageText().c_str(), stdout);
    return kAnswered;
  }
  if (!parsed.request) {
    std::fprintf(stderr, "imbraw: %s\n%s", parsed.error.c_str(), mgmt::imbraw::UsageText().c_str());
    return kBadUsage;
  }

  auto& r = *parsed.request;
  IMBPREQUESTDATA req;
  FillRequest(&req, r.cmd, r.slaveAddress, 0, r.netFn, r.lun,
              r.data.empty() ? nullptr : r.data.data(), static_cast<int>(r.data.size()));
  BYTE response[IMB_SEND_BUFFER_SIZE] = {};
  int length = 0;
  BYTE cc = 0xFF;
  if (SendTimedImbpRequest(&req, r.timeoutMs, response, &length, &cc) != 0) {
    std::fprintf(stderr,
                 "imbraw: request netfn 0x%02x cmd 0x%02x failed in the IMB driver "
                 "(driver status 0x%08x)\n",
                 r.netFn, r.cmd, static_cast<unsigned>(NTstatus));
    IMBClose();
    return kTransportFailed;
  }
  IMBClose();

  std::printf("completion code: 0x%02x\n", cc);
  std::printf("response (%d bytes):", length);
  for (int i = 0; i < length; ++i) std::printf(" %02x", response[i]);
  std::printf("\n");
  return cc == 0 ? kAnswered : kBmcRefused;
}
