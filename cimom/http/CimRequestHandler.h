// Turns one HTTP request into one CIM-XML response: method and header checks
// (with the DSP0200 CIMError header on refusal), authentication (HTTP Basic over
// TCP, the peer's credentials on the local socket), XML parsing under limits, the
// MESSAGE/SIMPLEREQ envelope, and the operation itself through CimOperations.
#ifndef MGMT_CIMOM_CIMREQUESTHANDLER_H
#define MGMT_CIMOM_CIMREQUESTHANDLER_H

#include <string>

#include "CimOperations.h"
#include "HttpServer.h"
#include "PasswordFile.h"
#include "cimxml/XmlDocument.h"
#include "http/HttpMessage.h"

namespace mgmt::cimom {

struct HandlerOptions {
  cimxml::XmlLimits xml;
  bool requireAuthentication = true;  ///< for TCP clients; local peers always pass
  std::string realm = "cimserver";
};

class CimRequestHandler {
 public:
  /// `passwords` may be null only when authentication is not required.
  CimRequestHandler(CimOperations& ops, PasswordChecker* passwords, HandlerOptions options);

  http::Message Handle(const http::Message& request, Peer& peer);

 private:
  /// Empty when the peer may proceed (then `user` is set), else the refusal.
  std::optional<http::Message> Authenticate(const http::Message& request, Peer& peer,
                                            std::string& user);

  CimOperations& ops_;
  PasswordChecker* passwords_;
  HandlerOptions options_;
};

/// Decodes %XX escapes (and nothing else); nullopt on a malformed escape.
std::optional<std::string> UriDecode(std::string_view in);

}  // namespace mgmt::cimom

#endif
