//%/////////////////////////////////////////////////////////////////////////////
// CIMParameter.h: a declared parameter of a class's method. Handle semantics.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMParameter_h
#define Pegasus_CIMParameter_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <memory>

namespace Pegasus {

class CIMConstParameter;

class CIMParameter
{
public:
    CIMParameter();
    CIMParameter(const CIMParameter& x) = default;
    /// Throws UninitializedObjectException for a null name.
    CIMParameter(const CIMName& name, CIMType type, Boolean isArray = false,
        Uint32 arraySize = 0, const CIMName& referenceClassName = CIMName());
    CIMParameter& operator=(const CIMParameter& x) = default;

    const CIMName& getName() const;
    void setName(const CIMName& name);
    Boolean isArray() const;
    Uint32 getArraySize() const;
    const CIMName& getReferenceClassName() const;
    CIMType getType() const;

    CIMParameter& addQualifier(const CIMQualifier& x);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    void removeQualifier(Uint32 index);
    Uint32 getQualifierCount() const;

    Boolean identical(const CIMConstParameter& x) const;
    CIMParameter clone() const;
    Boolean isUninitialized() const { return !_rep; }

    struct Rep;

private:
    friend class CIMConstParameter;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

class CIMConstParameter
{
public:
    CIMConstParameter() = default;
    CIMConstParameter(const CIMConstParameter& x) = default;
    CIMConstParameter(const CIMParameter& x) : _p(x) {}
    CIMConstParameter& operator=(const CIMConstParameter& x) = default;
    CIMConstParameter& operator=(const CIMParameter& x) { _p = x; return *this; }

    const CIMName& getName() const { return _p.getName(); }
    Boolean isArray() const { return _p.isArray(); }
    Uint32 getArraySize() const { return _p.getArraySize(); }
    const CIMName& getReferenceClassName() const { return _p.getReferenceClassName(); }
    CIMType getType() const { return _p.getType(); }
    Uint32 findQualifier(const CIMName& name) const { return _p.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const
    {
        const CIMParameter& p = _p;
        return p.getQualifier(index);
    }
    Uint32 getQualifierCount() const { return _p.getQualifierCount(); }
    Boolean identical(const CIMConstParameter& x) const { return _p.identical(x); }
    CIMParameter clone() const { return _p.clone(); }
    Boolean isUninitialized() const { return _p.isUninitialized(); }

private:
    friend class CIMParameter;
    CIMParameter _p;
};

} // namespace Pegasus

#endif
