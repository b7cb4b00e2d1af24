// Parsing untrusted CIM-XML bodies: well-formedness, no document type declaration
// (so no entity can ever be declared or expanded), and bounds on nesting depth and
// element count checked before any decoder walks the tree.
#ifndef MGMT_CIMXML_XMLDOCUMENT_H
#define MGMT_CIMXML_XMLDOCUMENT_H

#include <pugixml.hpp>

#include <cstddef>
#include <string_view>

namespace mgmt::cimxml {

struct XmlLimits {
  std::size_t maxDepth = 64;
  std::size_t maxElements = 200000;
};

/// Why a body was refused.
enum class XmlProblem { kNone, kNotWellFormed, kHasDoctype, kTooDeep, kTooManyElements };

/// Parses `body` into `doc` (which keeps its own copy). On failure, `detail` says
/// where (pugixml's description and offset).
XmlProblem ParseDocument(pugi::xml_document& doc, std::string_view body, const XmlLimits& limits,
                         std::string* detail = nullptr);

/// The standard opening of every CIM-XML message, up to and including <MESSAGE …>.
void AppendMessageStart(std::string& out, std::string_view messageId);
/// Closes what appendMessageStart opened.
void AppendMessageEnd(std::string& out);

}  // namespace mgmt::cimxml

#endif
