//%/////////////////////////////////////////////////////////////////////////////
// CIMFlavor.h: qualifier flavor bits (propagation and override rules). Kept so
// class definitions can be written as with the original API; this library
// stores them but does not apply propagation rules.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMFlavor_h
#define Pegasus_CIMFlavor_h

#include <Pegasus/Common/Config.h>

namespace Pegasus {

class CIMFlavor
{
public:
    static const CIMFlavor NONE;
    static const CIMFlavor OVERRIDABLE;
    static const CIMFlavor ENABLEOVERRIDE;
    static const CIMFlavor TOSUBCLASS;
    static const CIMFlavor TOINSTANCE;
    static const CIMFlavor TRANSLATABLE;
    static const CIMFlavor DISABLEOVERRIDE;
    static const CIMFlavor RESTRICTED;
    static const CIMFlavor DEFAULTS;

    CIMFlavor() : _flavor(0) {}
    CIMFlavor(const CIMFlavor& x) = default;
    CIMFlavor& operator=(const CIMFlavor& x) = default;

    void addFlavor(const CIMFlavor& x) { _flavor |= x._flavor; }
    void removeFlavor(const CIMFlavor& x) { _flavor &= ~x._flavor; }
    Boolean hasFlavor(const CIMFlavor& x) const { return (_flavor & x._flavor) == x._flavor; }
    Boolean equal(const CIMFlavor& x) const { return _flavor == x._flavor; }
    Uint32 cimFlavorToValue() const { return _flavor; }

private:
    explicit CIMFlavor(Uint32 flavor) : _flavor(flavor) {}
    Uint32 _flavor;
};

} // namespace Pegasus

#endif
