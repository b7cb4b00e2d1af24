// The HTTP layer of cimserver without CIM: framing limits, the connection cap,
// time-outs, the password file and the configuration file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <openssl/ssl.h>

#include <atomic>
#include <memory>

#include "HttpServer.h"
#include "PasswordFile.h"
#include "ServerConfig.h"
#include "base/base64.h"
#include "base/connect.h"
#include "http/HttpMessage.h"
#include "net/Socket.h"
#include "net/Tls.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace mgmt;
using namespace std::chrono_literals;

namespace {

// Reads what a peer wrote into the other end of a socket pair.
http::ReadResult ParseRequest(const std::string& wire, http::Message& msg,
                              http::Limits limits = {}) {
  int sv[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  net::Stream reader{mgmt::base::UniqueFd(sv[0])};
  mgmt::base::UniqueFd writer(sv[1]);
  std::thread t([&] {
    [[maybe_unused]] auto n = ::write(writer.Get(), wire.data(), wire.size());
    ::shutdown(writer.Get(), SHUT_WR);
  });
  auto deadline = net::Clock::now() + 2s;
  auto r = http::ReadRequest(reader, msg, limits, deadline, deadline);
  t.join();
  return r;
}

}  // namespace

TEST(HttpFraming, ContentLengthChunkedAndRejections) {
  http::Message m;
  ASSERT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", m),
            http::ReadResult::kOk);
  EXPECT_EQ(m.method, "POST");
  EXPECT_EQ(m.body, "hello");
  EXPECT_EQ(*m.Header("content-length"), "5");

  ASSERT_EQ(ParseRequest("M-POST /cimom HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                         "3;ext=1\r\nabc\r\nA\r\n0123456789\r\n0\r\nX-Trailer: t\r\n\r\n",
                         m),
            http::ReadResult::kOk);
  EXPECT_EQ(m.body, "abc0123456789");
  ASSERT_NE(m.Header("X-Trailer"), nullptr);

  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nHost: x\r\n\r\n", m),
            http::ReadResult::kLengthRequired);
  EXPECT_EQ(
      ParseRequest("POST /cimom HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", m),
      http::ReadResult::kMalformed);
  EXPECT_EQ(
      ParseRequest(
          "POST /cimom HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", m),
      http::ReadResult::kMalformed);
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", m),
            http::ReadResult::kUnsupportedEncoding);
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nA: b\r\n folded\r\nContent-Length: 0\r\n\r\n", m),
            http::ReadResult::kMalformed);
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/2.0\r\nContent-Length: 0\r\n\r\n", m),
            http::ReadResult::kMalformed);
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nContent-Length: -1\r\n\r\n", m),
            http::ReadResult::kMalformed);
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", m),
            http::ReadResult::kMalformed);
  // Truncated body: the peer closes early.
  EXPECT_EQ(ParseRequest("POST /cimom HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", m),
            http::ReadResult::kIoError);
}

TEST(HttpFraming, LimitsOnHeadAndBody) {
  http::Limits small;
  small.maxHeaderBytes = 256;
  small.maxHeaderCount = 4;
  small.maxBodyBytes = 16;
  http::Message m;
  EXPECT_EQ(
      ParseRequest("POST /cimom HTTP/1.1\r\nX: " + std::string(400, 'a') + "\r\n\r\n", m, small),
      http::ReadResult::kHeadTooLarge);
  EXPECT_EQ(
      ParseRequest("POST / HTTP/1.1\r\nA: 1\r\nB: 1\r\nC: 1\r\nD: 1\r\nE: 1\r\n\r\n", m, small),
      http::ReadResult::kHeadTooLarge);
  EXPECT_EQ(ParseRequest("POST / HTTP/1.1\r\nContent-Length: 17\r\n\r\n", m, small),
            http::ReadResult::kBodyTooLarge);
  EXPECT_EQ(ParseRequest("POST / HTTP/1.1\r\nTransfer-Encoding: "
                         "chunked\r\n\r\n8\r\n12345678\r\n9\r\n123456789\r\n0\r\n\r\n",
                         m, small),
            http::ReadResult::kBodyTooLarge);
  // Many small header lines together exceed the head budget.
  std::string many = "POST / HTTP/1.1\r\n";
  for (int i = 0; i < 3; ++i)
    many += "X" + std::to_string(i) + ": " + std::string(90, 'v') + "\r\n";
  EXPECT_EQ(ParseRequest(many + "\r\n", m, small), http::ReadResult::kHeadTooLarge);
}

TEST(HttpFraming, KeepAliveRules) {
  http::Message m;
  m.version = "HTTP/1.1";
  EXPECT_TRUE(http::WantsKeepAlive(m));
  m.AddHeader("Connection", "Keep-Alive, TE");
  EXPECT_TRUE(http::WantsKeepAlive(m));
  m.headers = {{"Connection", "close"}};
  EXPECT_FALSE(http::WantsKeepAlive(m));
  m.version = "HTTP/1.0";
  m.headers.clear();
  EXPECT_FALSE(http::WantsKeepAlive(m));
  m.AddHeader("connection", "keep-alive");
  EXPECT_TRUE(http::WantsKeepAlive(m));
}

namespace {

struct RunningServer {
  explicit RunningServer(cimom::ServerOptions opt)
      : server(opt, [](const http::Message& req, cimom::Peer& peer) {
          http::Message r;
          r.status = 200;
          r.body = req.body + "|" + (peer.local ? "local" : "tcp");
          if (peer.uid) r.body += "|" + std::to_string(*peer.uid);
          return r;
        }) {
    std::string err;
    port = server.ListenTcp("127.0.0.1", 0, err);
    EXPECT_NE(port, 0u) << err;
    thread = std::thread([this] { server.Run(); });
  }
  ~RunningServer() {
    server.Stop();
    thread.join();
  }
  net::Stream Connect() {
    std::string err;
    mgmt::base::UniqueFd fd = mgmt::base::ConnectTcp("127.0.0.1", port, 2s, &err);
    EXPECT_TRUE(fd.Valid()) << err;
    return net::Stream(std::move(fd));
  }
  cimom::HttpServer server;
  unsigned port = 0;
  std::thread thread;
};

http::Message Exchange(net::Stream& s, const std::string& wire) {
  EXPECT_EQ(s.WriteAll(wire, net::Clock::now() + 2s), net::IoStatus::kOk);
  http::Message resp;
  EXPECT_EQ(http::ReadResponse(s, resp, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  return resp;
}

}  // namespace

TEST(HttpServerTest, KeepAliveThenLimitStatuses) {
  cimom::ServerOptions opt;
  opt.limits.maxBodyBytes = 64;
  RunningServer srv(opt);
  auto s = srv.Connect();
  // Two pipelined requests on one connection, answered in order.
  ASSERT_EQ(s.WriteAll("POST /a HTTP/1.1\r\nContent-Length: 1\r\n\r\nxPOST /b "
                       "HTTP/1.1\r\nContent-Length: 1\r\n\r\ny",
                       net::Clock::now() + 2s),
            net::IoStatus::kOk);
  http::Message r1, r2;
  ASSERT_EQ(http::ReadResponse(s, r1, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  ASSERT_EQ(http::ReadResponse(s, r2, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  EXPECT_EQ(r1.body, "x|tcp");
  EXPECT_EQ(r2.body, "y|tcp");

  // A client that asks first is told to continue, and then answered.
  auto polite = srv.Connect();
  ASSERT_EQ(polite.WriteAll("POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n",
                            net::Clock::now() + 2s),
            net::IoStatus::kOk);
  std::string line;
  ASSERT_EQ(polite.ReadLine(line, 100, net::Clock::now() + 2s), net::IoStatus::kOk);
  EXPECT_EQ(line, "HTTP/1.1 100 Continue");
  ASSERT_EQ(polite.ReadLine(line, 100, net::Clock::now() + 2s), net::IoStatus::kOk);
  EXPECT_EQ(Exchange(polite, "ok").body, "ok|tcp");
  auto asksTooMuch = srv.Connect();
  EXPECT_EQ(
      Exchange(asksTooMuch, "POST / HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 99\r\n\r\n")
          .status,
      413);

  auto big = srv.Connect();
  EXPECT_EQ(Exchange(big, "POST / HTTP/1.1\r\nContent-Length: 65\r\n\r\n").status, 413);
  auto bad = srv.Connect();
  EXPECT_EQ(Exchange(bad, "garbage\r\n\r\n").status, 400);
  auto nolen = srv.Connect();
  EXPECT_EQ(Exchange(nolen, "POST / HTTP/1.1\r\n\r\n").status, 411);
}

TEST(HttpServerTest, AHandlerThatThrowsGets500NotACrash) {
  cimom::HttpServer server({}, [](const http::Message& req, cimom::Peer&) -> http::Message {
    if (req.body == "boom") throw std::runtime_error("defect");
    if (req.body == "worse") throw 42;
    http::Message r;
    r.status = 200;
    return r;
  });
  std::string err;
  unsigned port = server.ListenTcp("127.0.0.1", 0, err);
  std::thread t([&] { server.Run(); });
  for (const char* body : {"boom", "worse", "fine"}) {
    mgmt::base::UniqueFd fd = mgmt::base::ConnectTcp("127.0.0.1", port, 2s, &err);
    net::Stream s(std::move(fd));
    auto resp = (Exchange)(s, std::string("POST / HTTP/1.1\r\nContent-Length: ") +
                                  std::to_string(strlen(body)) + "\r\n\r\n" + body);
    EXPECT_EQ(resp.status, std::string(body) == "fine" ? 200 : 500) << body;
  }
  server.Stop();
  t.join();
}

TEST(HttpServerTest, ConnectionCapAndRequestTimeout) {
  cimom::ServerOptions opt;
  opt.maxConnections = 2;
  opt.requestTimeout = 300ms;
  opt.idleTimeout = 5s;
  RunningServer srv(opt);
  auto a = srv.Connect();
  auto b = srv.Connect();
  // Make sure both are registered before the third arrives.
  EXPECT_EQ(Exchange(a, "POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n").status, 200);
  EXPECT_EQ(Exchange(b, "POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n").status, 200);
  auto c = srv.Connect();
  http::Message resp;
  ASSERT_EQ(http::ReadResponse(c, resp, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  EXPECT_EQ(resp.status, 503);

  // A request that stalls half-way is answered 408 after the request time-out.
  ASSERT_EQ(a.WriteAll("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", net::Clock::now() + 1s),
            net::IoStatus::kOk);
  ASSERT_EQ(http::ReadResponse(a, resp, {}, net::Clock::now() + 5s), http::ReadResult::kOk);
  EXPECT_EQ(resp.status, 408);
}

namespace {

// An HTTPS server with a fresh self-signed certificate, and raw TLS clients.
class HttpsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto cert = tmp_.Path() / "cert.pem";
    const auto key = tmp_.Path() / "key.pem";
    const auto made = mgmt::test::RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048",
                                              "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                                              "-keyout", key.string(), "-out", cert.string()});
    ASSERT_TRUE(made.Ok()) << made.err;
    std::string err;
    tls_ = net::TlsContext::Load(cert.string(), key.string(), err);
    ASSERT_TRUE(tls_) << err;
    client_.reset(SSL_CTX_new(TLS_client_method()));
    ASSERT_TRUE(client_);
  }
  void Start(cimom::ServerOptions opt) {
    server_ = std::make_unique<cimom::HttpServer>(opt, [](const http::Message&, cimom::Peer&) {
      http::Message r;
      r.status = 200;
      return r;
    });
    std::string err;
    port_ = server_->ListenTcp("127.0.0.1", 0, err, tls_.get());
    ASSERT_NE(port_, 0u) << err;
    thread_ = std::thread([this] { server_->Run(); });
  }
  void TearDown() override {
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
  }

  struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
  };
  struct TlsClient {
    mgmt::base::UniqueFd fd;
    std::unique_ptr<SSL, SslFree> ssl;
  };
  // A TLS connection (certificate not checked: it is self-signed), or one whose
  // handshake failed (ssl empty).
  TlsClient Connect() {
    TlsClient c;
    c.fd = mgmt::base::ConnectTcp("127.0.0.1", port_, 2s);
    EXPECT_TRUE(c.fd.Valid());
    const timeval patience{10, 0};
    ::setsockopt(c.fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    c.ssl.reset(SSL_new(client_.get()));
    SSL_set_fd(c.ssl.get(), c.fd.Get());
    if (SSL_connect(c.ssl.get()) != 1) c.ssl.reset();
    return c;
  }
  // Everything the server says through the session until it closes; `clean` tells
  // whether the session ended with the server's close_notify.
  static std::string ReadAll(SSL* ssl, bool& clean) {
    std::string text;
    char buf[4096];
    int n = 0;
    while ((n = SSL_read(ssl, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    clean = SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN;
    return text;
  }

  mgmt::test::TempDir tmp_{"https"};
  std::unique_ptr<net::TlsContext> tls_;
  std::unique_ptr<SSL_CTX, SslFree> client_;
  std::unique_ptr<cimom::HttpServer> server_;
  unsigned port_ = 0;
  std::thread thread_;
};

}  // namespace

TEST_F(HttpsServerTest, RefusalsTravelInsideTheTlsSession) {
  cimom::ServerOptions opt;
  opt.limits.maxBodyBytes = 64;
  Start(opt);
  const struct {
    std::string wire;
    const char* status;
  } cases[] = {
      {"garbage\r\n\r\n", "HTTP/1.1 400"},
      {"POST / HTTP/1.1\r\n\r\n", "HTTP/1.1 411"},
      {"POST / HTTP/1.1\r\nContent-Length: 65\r\n\r\n", "HTTP/1.1 413"},
  };
  for (const auto& c : cases) {
    TlsClient client = Connect();
    ASSERT_TRUE(client.ssl);
    ASSERT_EQ(SSL_write(client.ssl.get(), c.wire.data(), static_cast<int>(c.wire.size())),
              static_cast<int>(c.wire.size()));
    bool clean = false;
    EXPECT_EQ(ReadAll(client.ssl.get(), clean).substr(0, 12), c.status) << c.wire;
    // The session ends before its socket closes, so its last word arrives.
    EXPECT_TRUE(clean) << c.wire;
  }
}

TEST_F(HttpsServerTest, AConnectionOverTheCapIsClosedWithoutPlainText) {
  cimom::ServerOptions opt;
  opt.maxConnections = 1;
  Start(opt);
  TlsClient first = Connect();
  ASSERT_TRUE(first.ssl);
  for (int i = 0; i < 500 && server_->ActiveConnections() == 0; ++i)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server_->ActiveConnections(), 1u);

  // No handshake from this side: whatever comes back arrives as it was sent.
  mgmt::base::UniqueFd second = mgmt::base::ConnectTcp("127.0.0.1", port_, 2s);
  ASSERT_TRUE(second.Valid());
  const timeval patience{10, 0};
  ::setsockopt(second.Get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  char buf[256];
  EXPECT_EQ(::recv(second.Get(), buf, sizeof buf, 0), 0);  // closed, nothing said
}

TEST(HttpServerTest, AcceptingPausesWhenDescriptorsRunOut) {
  mgmt::base::ManualClock clock;
  std::atomic<int> attempts{0};
  cimom::ServerOptions opt;
  opt.clock = &clock;
  opt.accept = [&](int, sockaddr*, socklen_t*) {
    ++attempts;
    errno = EMFILE;
    return -1;
  };
  RunningServer srv(opt);
  // The connection stays queued, so the listening socket stays readable.
  mgmt::base::UniqueFd client = mgmt::base::ConnectTcp("127.0.0.1", srv.port, 2s);
  ASSERT_TRUE(client.Valid());
  clock.WaitForSleepers(1);
  EXPECT_EQ(attempts, 1);  // one failure, then a pause rather than a spin
  clock.Advance(100ms);
  clock.WaitForSleepers(1);
  EXPECT_EQ(attempts, 2);
}

TEST(HttpServerTest, UnixSocketCarriesPeerCredentials) {
  const mgmt::test::TempDir tmp("cimsock");
  const std::filesystem::path& dir = tmp.Path();
  const std::string path = (dir / "s").string();
  {
    std::string err;
    cimom::HttpServer second({}, [](const http::Message&, cimom::Peer& p) {
      http::Message r;
      r.status = 200;
      r.body = std::to_string(p.uid.value_or(99999)) + (p.local ? "L" : "T");
      return r;
    });
    ASSERT_TRUE(second.ListenUnix(path, 0600, std::nullopt, err)) << err;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::thread t([&] { second.Run(); });
    mgmt::base::UniqueFd fd = mgmt::base::ConnectUnix(path, 2s, &err);
    ASSERT_TRUE(fd.Valid()) << err;
    net::Stream s(std::move(fd));
    auto resp = Exchange(s, "POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(resp.body, std::to_string(::getuid()) + "L");
    second.Stop();
    t.join();
  }
}

TEST(PasswordFileTest, AddVerifyRemoveKeepsMode0600) {
  const mgmt::test::TempDir tmp("cimpw");
  const std::filesystem::path& dir = tmp.Path();
  const std::string path = (dir / "passwd").string();
  EXPECT_EQ(cimom::SetPassword(path, "alice", "s3cret"), "");
  EXPECT_EQ(cimom::SetPassword(path, "bob", "other:pw"), "");
  EXPECT_NE(cimom::SetPassword(path, "bad:name", "x"), "");
  EXPECT_NE(cimom::SetPassword(path, "carol", ""), "");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  cimom::PasswordChecker checker(path);
  EXPECT_TRUE(checker.Check("alice", "s3cret"));
  EXPECT_FALSE(checker.Check("alice", "s3cret "));
  EXPECT_FALSE(checker.Check("alice", ""));
  EXPECT_TRUE(checker.Check("bob", "other:pw"));
  EXPECT_FALSE(checker.Check("nobody", "s3cret"));

  // A change made while the server runs is seen at the next check.
  EXPECT_EQ(cimom::SetPassword(path, "alice", "new"), "");
  EXPECT_FALSE(checker.Check("alice", "s3cret"));
  EXPECT_TRUE(checker.Check("alice", "new"));
  EXPECT_EQ(cimom::RemoveUser(path, "alice"), "");
  EXPECT_NE(cimom::RemoveUser(path, "alice"), "");
  EXPECT_FALSE(checker.Check("alice", "new"));
  EXPECT_TRUE(checker.Check("bob", "other:pw"));
}

TEST(PasswordFileTest, RewriteStaysPrivateAndClearsWhatKilledWritersLeft) {
  const mgmt::test::TempDir tmp("cimpw2");
  const std::filesystem::path& dir = tmp.Path();
  const std::string path = (dir / "passwd").string();
  ASSERT_EQ(cimom::SetPassword(path, "alice", "s3cret"), "");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);  // loosened by hand
  // What a cimuser killed between writing and renaming leaves behind.
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  const std::string leftover = ".passwd." + std::to_string(dead) + ".0.tmp";
  std::ofstream(dir / leftover) << "alice:half";

  ASSERT_EQ(cimom::SetPassword(path, "bob", "pw"), "");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"passwd"});
  cimom::PasswordChecker checker(path);
  EXPECT_TRUE(checker.Check("alice", "s3cret"));
  EXPECT_TRUE(checker.Check("bob", "pw"));
}

TEST(PasswordFileTest, BasicAuthorizationDecoding) {
  auto up = cimom::DecodeBasicAuthorization("Basic " + mgmt::base::Base64Encode("user:pa:ss"));
  ASSERT_TRUE(up);
  EXPECT_EQ(up->first, "user");
  EXPECT_EQ(up->second, "pa:ss");
  EXPECT_TRUE(cimom::DecodeBasicAuthorization("basic dTpw"));  // "u:p"
  EXPECT_FALSE(cimom::DecodeBasicAuthorization("Basic " + mgmt::base::Base64Encode("nocolon")));
  EXPECT_FALSE(cimom::DecodeBasicAuthorization("Digest abc"));
  EXPECT_FALSE(cimom::DecodeBasicAuthorization("Basic ###="));
  EXPECT_FALSE(cimom::DecodeBasicAuthorization("Basic dTp=w"));
  for (std::string s : {"", "a", "ab", "abc", "abcd", "abcde"})
    EXPECT_EQ(mgmt::base::Base64Decode(mgmt::base::Base64Encode(s)), s);
}

TEST(ServerConfigTest, FileSettingsProblemsAndValidation) {
  std::istringstream in(
      "# comment\n"
      "httpPort = 15988\n"
      "httpAddress=127.0.0.2\n"
      "maxConnections = 0\n"  // below the bound: reported, default kept
      "unknownKey = 1\n"
      "enableAuthentication = no\n"
      "no equals sign\n");
  cimom::ServerConfig cfg;
  std::vector<std::string> problems;
  cimom::ParseConfig(in, "test.conf", cfg, problems);
  EXPECT_EQ(cfg.httpPort, 15988u);
  EXPECT_EQ(cfg.httpAddress, "127.0.0.2");
  EXPECT_EQ(cfg.maxConnections, 32u);
  EXPECT_FALSE(cfg.enableAuthentication);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].rfind("test.conf:4:", 0), 0u) << problems[0];
  EXPECT_EQ(cimom::ValidateConfig(cfg), "");

  cfg.httpAddress = "0.0.0.0";
  EXPECT_NE(cimom::ValidateConfig(cfg), "");  // non-loopback needs allowRemote
  cfg.allowRemote = true;
  EXPECT_NE(cimom::ValidateConfig(cfg), "");  // and authentication
  cfg.enableAuthentication = true;
  EXPECT_EQ(cimom::ValidateConfig(cfg), "");
  EXPECT_TRUE(cimom::IsLoopbackAddress("::1"));
  EXPECT_FALSE(cimom::IsLoopbackAddress("128.0.0.1"));
}
