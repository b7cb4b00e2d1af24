#include "cimxml/XmlDocument.h"

#include <string>

#include "cimxml/CimXmlWriter.h"

namespace mgmt::cimxml {

XmlProblem ParseDocument(pugi::xml_document& doc, std::string_view body, const XmlLimits& limits,
                         std::string* detail) {
  // parse_doctype keeps a DOCTYPE node so that we can see it and refuse the body;
  // pugixml never expands entities other than the predefined ones either way.
  const unsigned options = pugi::parse_default | pugi::parse_doctype;
  pugi::xml_parse_result r =
      doc.load_buffer(body.data(), body.size(), options, pugi::encoding_utf8);
  if (!r) {
    if (detail) *detail = std::string(r.description()) + " at offset " + std::to_string(r.offset);
    return XmlProblem::kNotWellFormed;
  }
  // Walk the tree without recursion: depth and count are what we are bounding.
  std::size_t depth = 0, elements = 0;
  pugi::xml_node n = doc.first_child();
  pugi::xml_node root = doc;
  bool sawElement = false;
  while (n) {
    if (n.type() == pugi::node_doctype) return XmlProblem::kHasDoctype;
    if (n.type() == pugi::node_element) {
      sawElement = true;
      if (++elements > limits.maxElements) return XmlProblem::kTooManyElements;
    }
    if (n.first_child()) {
      if (++depth > limits.maxDepth) return XmlProblem::kTooDeep;
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling() && n != root) {
      n = n.parent();
      if (n == root) break;
      --depth;
    }
    if (!n || n == root) break;
    n = n.next_sibling();
  }
  if (!sawElement) {
    if (detail) *detail = "no root element";
    return XmlProblem::kNotWellFormed;
  }
  return XmlProblem::kNone;
}

void AppendMessageStart(std::string& out, std::string_view messageId) {
  out +=
      "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
      "<MESSAGE ID=\"";
  AppendAttrEscaped(out, messageId);
  out += "\" PROTOCOLVERSION=\"1.0\">";
}

void AppendMessageEnd(std::string& out) { out += "</MESSAGE></CIM>\n"; }

}  // namespace mgmt::cimxml
