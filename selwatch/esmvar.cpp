#include "esmvar.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxOidLength = 640;  // MAX_OID_LEN sub-identifiers, as the library allows
constexpr size_t kMaxStringLength = 2560;

const char* NodeTypeName(int type) {
  static const char* const kNames[] = {
      nullptr,     "OBJECT IDENTIFIER", "OCTET STRING", "INTEGER",    "NetworkAddress", "IpAddress",
      "Counter32", "Gauge32",           "Timeticks",    "Opaque",     "Null",           "Counter64",
      "BITS",      "NsapAddress",       "UInteger",     "Unsigned32", "Integer32"};
  if (type >= 1 && type <= 16) return kNames[type];
  static thread_local char other[16];
  std::snprintf(other, sizeof(other), "TYPE_%d", type);
  return other;
}

const char* LetterTypeName(char letter) {
  switch (letter) {
    case 'i':
      return "INTEGER";
    case 'u':
      return "Unsigned32";
    case '3':
      return "UInteger32";
    case 'c':
      return "Counter32";
    case 't':
      return "Timeticks";
    case 'a':
      return "IpAddress";
    case 'o':
      return "OBJECT IDENTIFIER";
    case 's':
    case 'x':
    case 'd':
      return "OCTET STRING";
    case 'b':
      return "BITS";
    default:
      return "";
  }
}

/// The letter "=" stands for, by node type; 0 when the type has none.
char LetterOfNodeType(int type) {
  switch (type) {
    case TYPE_OBJID:
      return 'o';
    case TYPE_OCTETSTR:
      return 's';
    case TYPE_INTEGER:
    case TYPE_INTEGER32:
      return 'i';
    case TYPE_IPADDR:
      return 'a';
    case TYPE_COUNTER:
      return 'c';
    case TYPE_GAUGE:
    case TYPE_UNSIGNED32:
      return 'u';
    case TYPE_TIMETICKS:
      return 't';
    case TYPE_BITSTRING:
      return 'b';
    case TYPE_UINTEGER:
      return '3';
    default:
      return 0;
  }
}

int Fail(int code, const char* detail) {
  if (detail != nullptr) snmp_set_detail(detail);
  snmp_errno = code;
  return code;
}

int TypeMismatch(const tree* node, char letter) {
  char detail[128];
  std::snprintf(detail, sizeof(detail), "Type of attribute is %s, not %s", NodeTypeName(node->type),
                LetterTypeName(letter));
  return Fail(SNMPERR_VAR_TYPE, detail);
}

bool InRanges(const range_list* ranges, long value) {
  if (ranges == nullptr) return true;
  for (const range_list* r = ranges; r != nullptr; r = r->next) {
    if (value >= r->low && value <= r->high) return true;
  }
  return false;
}

/// A decimal number filling the whole text; false for empty text or junk.
bool ParseLong(const char* text, long* out) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0') return false;
  *out = value;
  return true;
}

bool ParseUnsigned(const char* text, unsigned long* out) {
  if (text == nullptr || *text == '\0' || *text == '-') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value > 0xFFFFFFFFul) return false;
  *out = value;
  return true;
}

int Add(netsnmp_pdu* pdu, const oid* name, size_t nameLength, u_char asnType, const void* value,
        size_t length) {
  if (snmp_pdu_add_variable(pdu, name, nameLength, asnType, value, length) == nullptr)
    return Fail(SNMPERR_GENERR, nullptr);
  snmp_errno = 0;
  return 0;
}

/// Bits: numbers or enumeration labels, blank, tab or comma separated.
int AddBits(netsnmp_pdu* pdu, const oid* name, size_t nameLength, const tree* node,
            const char* value) {
  std::vector<u_char> bits;
  size_t used = 0;
  if (node != nullptr) {
    for (const enum_list* e = node->enums; e != nullptr; e = e->next) {
      if (e->value >= 0) used = std::max(used, static_cast<size_t>(e->value / 8 + 1));
    }
  }
  std::string text(value);
  char* save = nullptr;
  for (char* word = strtok_r(text.data(), " \t,", &save); word != nullptr;
       word = strtok_r(nullptr, " \t,", &save)) {
    char* end = nullptr;
    long bit = std::strtol(word, &end, 0);
    if (end == word || *end != '\0') {
      bit = -1;
      for (const enum_list* e = node != nullptr ? node->enums : nullptr; e != nullptr;
           e = e->next) {
        if (std::strcmp(e->label, word) == 0) bit = e->value;
      }
      if (bit < 0) return Fail(SNMPERR_BAD_NAME, word);
    }
    if (bit < 0 || bit >= 8L * 256) return Fail(SNMPERR_VALUE, word);
    const size_t byte = static_cast<size_t>(bit) / 8;
    if (bits.size() <= byte) bits.resize(byte + 1, 0);
    bits[byte] = static_cast<u_char>(bits[byte] | (128 >> (bit % 8)));
    used = std::max(used, byte + 1);
  }
  bits.resize(std::max(used, bits.size()), 0);
  return Add(pdu, name, nameLength, ASN_OCTET_STR, bits.data(), bits.size());
}

}  // namespace

int esm_add_var(netsnmp_pdu* pdu, const oid* name, size_t nameLength, char type, const char* value,
                size_t length) {
  if (pdu == nullptr || name == nullptr || value == nullptr) return Fail(SNMPERR_GENERR, nullptr);
  const bool check =
      !netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_CHECK_RANGE);
  tree* node = get_tree(name, nameLength, get_tree_head());
  if (node != nullptr && (node->type < 1 || node->type > TYPE_SIMPLE_LAST)) node = nullptr;
  const tree* checked = check ? node : nullptr;

  if (type == '=') {
    type = node != nullptr ? LetterOfNodeType(node->type) : 0;
    if (type == 0) return Fail(SNMPERR_VAR_TYPE, "=");
  }

  switch (type) {
    case 'i': {
      if (checked != nullptr && checked->type != TYPE_INTEGER && checked->type != TYPE_INTEGER32)
        return TypeMismatch(checked, type);
      long number = 0;
      if (!ParseLong(value, &number)) {
        const enum_list* e = node != nullptr ? node->enums : nullptr;
        for (; e != nullptr; e = e->next) {
          if (std::strcmp(e->label, value) == 0) break;
        }
        if (e == nullptr) return Fail(*value == '\0' ? SNMPERR_VALUE : SNMPERR_BAD_NAME, value);
        number = e->value;
      }
      if (checked != nullptr && !InRanges(checked->ranges, number))
        return Fail(SNMPERR_RANGE, value);
      return Add(pdu, name, nameLength, ASN_INTEGER, &number, sizeof(number));
    }
    case 'u':
    case '3':
    case 'c':
    case 't': {
      const int wanted = type == 'u'   ? TYPE_GAUGE
                         : type == '3' ? TYPE_UINTEGER
                         : type == 'c' ? TYPE_COUNTER
                                       : TYPE_TIMETICKS;
      if (checked != nullptr && checked->type != wanted &&
          !(type == 'u' && checked->type == TYPE_UNSIGNED32))
        return TypeMismatch(checked, type);
      unsigned long number = 0;
      if (!ParseUnsigned(value, &number)) return Fail(SNMPERR_VALUE, value);
      const u_char asn = type == 'u'   ? ASN_GAUGE
                         : type == '3' ? ASN_UINTEGER
                         : type == 'c' ? ASN_COUNTER
                                       : ASN_TIMETICKS;
      return Add(pdu, name, nameLength, asn, &number, sizeof(number));
    }
    case 'a': {
      if (checked != nullptr && checked->type != TYPE_IPADDR) return TypeMismatch(checked, type);
      const in_addr_t address = inet_addr(value);
      if (address == INADDR_NONE && std::strcmp(value, "255.255.255.255") != 0)
        return Fail(SNMPERR_VALUE, value);
      return Add(pdu, name, nameLength, ASN_IPADDRESS, &address, sizeof(address));
    }
    case 'o': {
      if (checked != nullptr && checked->type != TYPE_OBJID) return TypeMismatch(checked, type);
      std::vector<oid> parsed(kMaxOidLength);
      size_t parsedLength = parsed.size();
      if (snmp_parse_oid(value, parsed.data(), &parsedLength) == nullptr) return snmp_errno;
      return Add(pdu, name, nameLength, ASN_OBJECT_ID, parsed.data(), parsedLength * sizeof(oid));
    }
    case 's':
    case 'x':
    case 'd': {
      if (checked != nullptr && checked->type != TYPE_OCTETSTR) return TypeMismatch(checked, type);
      std::vector<u_char> bytes;
      if (type == 's') {
        if (length > kMaxStringLength) return Fail(SNMPERR_RANGE, "Bad string length");
        bytes.assign(value, value + length);
      } else {
        // The library's own hexadecimal ("0a 1b ...") and decimal ("10.27...")
        // string forms.
        u_char* buffer = nullptr;
        size_t size = 0;
        size_t used = 0;
        const int ok = type == 'x' ? snmp_hex_to_binary(&buffer, &size, &used, 1, value)
                                   : snmp_decimal_to_binary(&buffer, &size, &used, 1, value);
        if (ok == 0 || used > kMaxStringLength) {
          std::free(buffer);
          return Fail(SNMPERR_VALUE, value);
        }
        bytes.assign(buffer, buffer + used);
        std::free(buffer);
      }
      if (checked != nullptr && !InRanges(checked->ranges, static_cast<long>(bytes.size())))
        return Fail(SNMPERR_RANGE, "Bad string length");
      return Add(pdu, name, nameLength, ASN_OCTET_STR, bytes.data(), bytes.size());
    }
    case 'b':
      if (checked != nullptr && (checked->type != TYPE_BITSTRING || checked->enums == nullptr))
        return TypeMismatch(checked, type);
      return AddBits(pdu, name, nameLength, node, value);
    case 'n':
      return Add(pdu, name, nameLength, ASN_NULL, nullptr, 0);
    case 'D': {
      double number = 0;
      if (std::sscanf(value, "%lf", &number) != 1) return Fail(SNMPERR_VALUE, value);
      return Add(pdu, name, nameLength, ASN_OPAQUE_DOUBLE, &number, sizeof(number));
    }
    case 'F': {
      float number = 0;
      if (std::sscanf(value, "%f", &number) != 1) return Fail(SNMPERR_VALUE, value);
      return Add(pdu, name, nameLength, ASN_OPAQUE_FLOAT, &number, sizeof(number));
    }
    case 'I':
    case 'U': {
      counter64 number{};
      if (read64(&number, value) == 0) return Fail(SNMPERR_VALUE, value);
      return Add(pdu, name, nameLength, type == 'I' ? ASN_OPAQUE_I64 : ASN_OPAQUE_U64, &number,
                 sizeof(number));
    }
    default: {
      const char detail[2] = {type, '\0'};
      return Fail(SNMPERR_VAR_TYPE, detail);
    }
  }
}
