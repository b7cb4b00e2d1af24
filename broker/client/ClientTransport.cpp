#include "ClientTransport.h"

#include <Pegasus/Common/Exception.h>

#include "base/connect.h"
#include "cimxml/ValueText.h"

using namespace Pegasus;

namespace mgmt::client {

std::string UriEncode(std::string_view in) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char ch : in) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

ClientTransport::ClientTransport(std::string host, unsigned port, std::string authorization)
    : local_(false),
      host_(std::move(host)),
      port_(port),
      authorization_(std::move(authorization)) {}

ClientTransport::ClientTransport(std::string path) : local_(true), host_(std::move(path)) {}

base::UniqueFd ClientTransport::Dial(std::chrono::milliseconds timeout) {
  std::string error;
  base::UniqueFd fd = local_ ? base::ConnectUnix(host_, timeout, &error)
                             : base::ConnectTcp(host_, port_, timeout, &error);
  if (!fd.Valid()) throw CannotConnectException(cimxml::FromUtf8(error));
  return fd;
}

void ClientTransport::Open(std::chrono::milliseconds timeout) {
  if (!stream_) stream_.emplace(Dial(timeout));
}

http::Message ClientTransport::Post(const std::string& cimMethod, const std::string& cimObject,
                                    const std::string& body, std::chrono::milliseconds timeout) {
  http::Message req;
  req.method = "POST";
  req.target = "/cimom";
  req.version = "HTTP/1.1";
  req.AddHeader("Host", local_ ? std::string("localhost") : host_ + ":" + std::to_string(port_));
  req.AddHeader("Content-Type", "application/xml; charset=\"utf-8\"");
  req.AddHeader("CIMProtocolVersion", "1.0");
  req.AddHeader("CIMOperation", "MethodCall");
  req.AddHeader("CIMMethod", UriEncode(cimMethod));
  req.AddHeader("CIMObject", UriEncode(cimObject));
  if (!authorization_.empty()) req.AddHeader("Authorization", authorization_);
  req.body = body;
  const std::string wire = http::FormatRequest(req);

  http::Limits limits;
  limits.maxBodyBytes = 512 * 1024 * 1024;
  limits.maxHeaderBytes = 64 * 1024;
  for (int attempt = 0;; ++attempt) {
    // A kept-alive connection the server has since closed fails on first use;
    // one fresh connection is then worth a try, a second failure is real.
    const bool reused = stream_.has_value();
    if (!stream_) stream_.emplace(Dial(timeout));
    const auto deadline = net::Clock::now() + timeout;
    http::Message resp;
    net::IoStatus w = stream_->WriteAll(wire, deadline);
    http::ReadResult r = w == net::IoStatus::kOk
                             ? http::ReadResponse(*stream_, resp, limits, deadline)
                             : (w == net::IoStatus::kTimedOut ? http::ReadResult::kTimedOut
                                                              : http::ReadResult::kClosed);
    if (r == http::ReadResult::kOk) {
      if (!http::WantsKeepAlive(resp)) stream_.reset();
      if (resp.status == 401) throw CIMException(CIM_ERR_ACCESS_DENIED, "authentication failed");
      if (resp.status != 200) {
        std::string why = "HTTP " + std::to_string(resp.status) + " " + resp.reason;
        if (const std::string* e = resp.Header("CIMError")) why += " (" + *e + ")";
        throw CIMException(CIM_ERR_FAILED, cimxml::FromUtf8(why));
      }
      return resp;
    }
    stream_.reset();
    if (r == http::ReadResult::kTimedOut) throw ConnectionTimeoutException();
    if (r == http::ReadResult::kClosed && reused && attempt == 0) continue;
    if (r == http::ReadResult::kClosed || r == http::ReadResult::kIoError)
      throw CannotConnectException("connection closed by the server");
    throw CIMException(CIM_ERR_FAILED, "malformed HTTP response");
  }
}

}  // namespace mgmt::client
