// esm_add_var: one variable added to a PDU from a type letter and a value text,
// checked against the MIB node of its OID where the library knows one.
#ifndef MGMT_SELWATCH_ESMVAR_H
#define MGMT_SELWATCH_ESMVAR_H

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

/// Adds `name` with a value of type `type`:
///   i integer, u unsigned, 3 UInteger32, c counter, t time ticks, a IP address,
///   o object identifier, s string (`length` bytes, binary-safe), x hexadecimal
///   string, d decimal string, b bits, n null, D double, F float, I signed and
///   U unsigned 64-bit; "=" takes the letter from the MIB node's type.
/// 0, or a negative library error code (also left in snmp_errno, with the
/// detail text set).
int esm_add_var(netsnmp_pdu* pdu, const oid* name, size_t nameLength, char type, const char* value,
                size_t length);

#endif
