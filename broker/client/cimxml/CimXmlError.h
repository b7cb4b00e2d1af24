// The one exception the CIM-XML decoder throws: the input is not the CIM-XML it
// should be. The server turns it into a CIM error (or HTTP 400); the client into a
// CIMException, so neither ever sees a pugixml or std exception from decoding.
#ifndef MGMT_CIMXML_CIMXMLERROR_H
#define MGMT_CIMXML_CIMXMLERROR_H

#include <stdexcept>
#include <string>

namespace mgmt::cimxml {

class CimXmlError : public std::runtime_error {
 public:
  explicit CimXmlError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace mgmt::cimxml

#endif
