#include "ClientTransport.h"

#include <Pegasus/Common/Exception.h>

#include "base/connect.h"
#include "cimxml/ValueText.h"

using namespace Pegasus;

namespace mgmt::client {

std::string uriEncode(std::string_view in) {
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

base::UniqueFd ClientTransport::dial(std::chrono::milliseconds timeout) {
  std::string error;
  base::UniqueFd fd = local_ ? base::ConnectUnix(host_, timeout, &error)
                             : base::ConnectTcp(host_, port_, timeout, &error);
  if (!fd.Valid()) throw CannotConnectException(cimxml::fromUtf8(error));
  return fd;
}

void ClientTransport::open(std::chrono::milliseconds timeout) {
  if (!stream_) stream_.emplace(dial(timeout));
}

http::Message ClientTransport::post(const std::string& cimMethod, const std::string& cimObject,
                                    const std::string& body, std::chrono::milliseconds timeout) {
  http::Message req;
  req.method = "POST";
  req.target = "/cimom";
  req.version = "HTTP/1.1";
  req.addHeader("Host", local_ ? std::string("localhost") : host_ + ":" + std::to_string(port_));
  req.addHeader("Content-Type", "application/xml; charset=\"utf-8\"");
  req.addHeader("CIMProtocolVersion", "1.0");
  req.addHeader("CIMOperation", "MethodCall");
  req.addHeader("CIMMethod", uriEncode(cimMethod));
  req.addHeader("CIMObject", uriEncode(cimObject));
  if (!authorization_.empty()) req.addHeader("Authorization", authorization_);
  req.body = body;
  const std::string wire = http::formatRequest(req);

  http::Limits limits;
  limits.maxBodyBytes = 512 * 1024 * 1024;
  limits.maxHeaderBytes = 64 * 1024;
  for (int attempt = 0;; ++attempt) {
    // A kept-alive connection the server has since closed fails on first use;
    // one fresh connection is then worth a try, a second failure is real.
    const bool reused = stream_.has_value();
    if (!stream_) stream_.emplace(dial(timeout));
    const auto deadline = net::Clock::now() + timeout;
    http::Message resp;
    net::IoStatus w = stream_->writeAll(wire, deadline);
    http::ReadResult r = w == net::IoStatus::Ok
                             ? http::readResponse(*stream_, resp, limits, deadline)
                             : (w == net::IoStatus::TimedOut ? http::ReadResult::TimedOut
                                                             : http::ReadResult::Closed);
    if (r == http::ReadResult::Ok) {
      if (!http::wantsKeepAlive(resp)) stream_.reset();
      if (resp.status == 401) throw CIMException(CIM_ERR_ACCESS_DENIED, "authentication failed");
      if (resp.status != 200) {
        std::string why = "HTTP " + std::to_string(resp.status) + " " + resp.reason;
        if (const std::string* e = resp.header("CIMError")) why += " (" + *e + ")";
        throw CIMException(CIM_ERR_FAILED, cimxml::fromUtf8(why));
      }
      return resp;
    }
    stream_.reset();
    if (r == http::ReadResult::TimedOut) throw ConnectionTimeoutException();
    if (r == http::ReadResult::Closed && reused && attempt == 0) continue;
    if (r == http::ReadResult::Closed || r == http::ReadResult::IoError)
      throw CannotConnectException("connection closed by the server");
    throw CIMException(CIM_ERR_FAILED, "malformed HTTP response");
  }
}

}  // namespace mgmt::client
