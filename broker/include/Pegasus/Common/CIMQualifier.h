//%/////////////////////////////////////////////////////////////////////////////
// CIMQualifier.h: a named, typed annotation on a class, property, method or
// parameter ("Key", "Description", ...). Handle semantics like CIMProperty.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMQualifier_h
#define Pegasus_CIMQualifier_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/CIMFlavor.h>

#include <memory>

namespace Pegasus {

class CIMConstQualifier;

class CIMQualifier
{
public:
    /// Uninitialized; members other than assignment throw UninitializedObjectException.
    CIMQualifier();
    CIMQualifier(const CIMQualifier& x) = default;
    /// Throws UninitializedObjectException for a null name.
    CIMQualifier(const CIMName& name, const CIMValue& value,
        const CIMFlavor& flavor = CIMFlavor(CIMFlavor::NONE), Boolean propagated = false);
    CIMQualifier& operator=(const CIMQualifier& x) = default;

    const CIMName& getName() const;
    void setName(const CIMName& name);
    CIMType getType() const;
    Boolean isArray() const;
    const CIMValue& getValue() const;
    void setValue(const CIMValue& value);
    void setFlavor(const CIMFlavor& flavor);
    void unsetFlavor(const CIMFlavor& flavor);
    const CIMFlavor& getFlavor() const;
    Uint32 getPropagated() const;
    void setPropagated(Boolean propagated);
    Boolean isUninitialized() const { return !_rep; }
    Boolean identical(const CIMConstQualifier& x) const;
    CIMQualifier clone() const;

    struct Rep;

private:
    friend class CIMConstQualifier;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

/// Read-only view of a qualifier.
class CIMConstQualifier
{
public:
    CIMConstQualifier() = default;
    CIMConstQualifier(const CIMConstQualifier& x) = default;
    CIMConstQualifier(const CIMQualifier& x) : _q(x) {}
    CIMConstQualifier(const CIMName& name, const CIMValue& value,
        const CIMFlavor& flavor = CIMFlavor(CIMFlavor::NONE), Boolean propagated = false)
        : _q(name, value, flavor, propagated) {}
    CIMConstQualifier& operator=(const CIMConstQualifier& x) = default;
    CIMConstQualifier& operator=(const CIMQualifier& x) { _q = x; return *this; }

    const CIMName& getName() const { return _q.getName(); }
    CIMType getType() const { return _q.getType(); }
    Boolean isArray() const { return _q.isArray(); }
    const CIMValue& getValue() const { return _q.getValue(); }
    const CIMFlavor& getFlavor() const { return _q.getFlavor(); }
    Uint32 getPropagated() const { return _q.getPropagated(); }
    Boolean isUninitialized() const { return _q.isUninitialized(); }
    Boolean identical(const CIMConstQualifier& x) const { return _q.identical(x); }
    CIMQualifier clone() const { return _q.clone(); }

private:
    friend class CIMQualifier;
    CIMQualifier _q;
};

} // namespace Pegasus

#endif
