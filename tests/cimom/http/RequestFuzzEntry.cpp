#include "RequestFuzzEntry.h"

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "CimRequestHandler.h"
#include "FakeOperations.h"
#include "http/HttpMessage.h"
#include "net/Socket.h"

namespace mgmt::test {

namespace {

struct Harness {
  Harness() {
    Pegasus::CIMInstance t(Pegasus::CIMName("Test_Thing"));
    t.addProperty(
        Pegasus::CIMProperty(Pegasus::CIMName("Id"), Pegasus::CIMValue(Pegasus::String("a 1"))));
    ops.Add(t, "a 1");
    cimom::HandlerOptions opt;
    opt.requireAuthentication = false;
    opt.xml.maxDepth = 40;
    opt.xml.maxElements = 5000;
    handler = std::make_unique<cimom::CimRequestHandler>(ops, nullptr, opt);
  }
  FakeOperations ops;
  std::unique_ptr<cimom::CimRequestHandler> handler;
};

Harness& SharedHarness() {
  static Harness h;
  return h;
}

http::Message BodyRequest(std::string body, char selector) {
  static const char* methods[] = {
      "EnumerateInstances",  "GetInstance",    "ModifyInstance", "Echo",
      "EnumerateClassNames", "CreateInstance", "DeleteInstance", "GetClass"};
  http::Message req;
  req.method = "POST";
  req.target = "/cimom";
  req.version = "HTTP/1.1";
  req.AddHeader("Host", "localhost");
  req.AddHeader("Content-Type", "application/xml; charset=utf-8");
  req.AddHeader("CIMOperation", "MethodCall");
  req.AddHeader("CIMMethod", methods[static_cast<unsigned char>(selector) % 8]);
  req.AddHeader("CIMObject",
                (selector & 8) ? "root%2Fcimv2%3ATest_Thing.Id%3D%22a%201%22" : "root%2Fcimv2");
  req.body = std::move(body);
  return req;
}

}  // namespace

int FuzzOneRequest(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Harness& h = SharedHarness();
  cimom::Peer peer;
  peer.address = "fuzz";
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 0x80) == 0)
    return h.handler->Handle(BodyRequest(rest, static_cast<char>(data[0])), peer).status;

  // Raw bytes: frame them as the server would, from a socket pair.
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return 0;
  net::Stream reader{mgmt::base::UniqueFd(sv[0])};
  mgmt::base::UniqueFd writer(sv[1]);
  std::thread feed([&] {
    std::size_t off = 0;
    while (off < rest.size()) {
      ssize_t n = ::write(writer.Get(), rest.data() + off, rest.size() - off);
      if (n <= 0) break;
      off += static_cast<std::size_t>(n);
    }
    ::shutdown(writer.Get(), SHUT_WR);
  });
  http::Limits limits;
  limits.maxBodyBytes = 64 * 1024;
  limits.maxHeaderBytes = 8 * 1024;
  http::Message req;
  const auto deadline = net::Clock::now() + std::chrono::seconds(2);
  int status = 0;
  if (http::ReadRequest(reader, req, limits, deadline, deadline) == http::ReadResult::kOk)
    status = h.handler->Handle(req, peer).status;
  // Drain so the writer never blocks on a full buffer the reader gave up on.
  std::string sink;
  reader.ReadToEnd(sink, 1 << 20, deadline);
  feed.join();
  return status;
}

}  // namespace mgmt::test

#ifdef MGMT_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mgmt::test::FuzzOneRequest(data, size);
  return 0;
}
#endif
