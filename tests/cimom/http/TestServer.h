// Runs the CIM-XML front end (HTTP server + request handler) over a FakeOperations
// on a free loopback port, with one user "alice" / "wonderland" in a temporary
// password file. Stopped and cleaned up by its destructor.
#ifndef MGMT_TESTS_TESTSERVER_H
#define MGMT_TESTS_TESTSERVER_H

#include <filesystem>
#include <string>
#include <thread>

#include "CimRequestHandler.h"
#include "FakeOperations.h"
#include "HttpServer.h"
#include "PasswordFile.h"
#include "support/temp_dir.h"

namespace mgmt::test {

class TestServer {
 public:
  explicit TestServer(bool requireAuth = true, cimom::ServerOptions sopt = {}) {
    const std::string pw = (dir / "passwd").string();
    cimom::SetPassword(pw, "alice", "wonderland");
    checker = std::make_unique<cimom::PasswordChecker>(pw);
    cimom::HandlerOptions hopt;
    hopt.requireAuthentication = requireAuth;
    hopt.xml.maxDepth = 40;
    hopt.xml.maxElements = 5000;
    handler = std::make_unique<cimom::CimRequestHandler>(ops, checker.get(), hopt);
    server = std::make_unique<cimom::HttpServer>(
        sopt, [this](const http::Message& r, cimom::Peer& p) { return handler->Handle(r, p); });
    std::string err;
    port = server->ListenTcp("127.0.0.1", 0, err);
    socketPath = (dir / "cimxml.socket").string();
    server->ListenUnix(socketPath, 0600, std::nullopt, err);
    thread = std::thread([this] { server->Run(); });
  }
  ~TestServer() {
    server->Stop();
    thread.join();
    server.reset();
  }

  FakeOperations ops;
  TempDir tmp{"cimxml-test"};
  std::filesystem::path dir = tmp.Path();
  std::unique_ptr<cimom::PasswordChecker> checker;
  std::unique_ptr<cimom::CimRequestHandler> handler;
  std::unique_ptr<cimom::HttpServer> server;
  unsigned port = 0;
  std::string socketPath;
  std::thread thread;
};

}  // namespace mgmt::test

#endif
