//%/////////////////////////////////////////////////////////////////////////////
// CIMMethod.h: a method declared by a class, with its parameters. Handle
// semantics.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMMethod_h
#define Pegasus_CIMMethod_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMParameter.h>

#include <memory>

namespace Pegasus {

class CIMConstMethod;

class CIMMethod
{
public:
    CIMMethod();
    CIMMethod(const CIMMethod& x) = default;
    /// Throws UninitializedObjectException for a null name.
    CIMMethod(const CIMName& name, CIMType type, const CIMName& classOrigin = CIMName(),
        Boolean propagated = false);
    CIMMethod& operator=(const CIMMethod& x) = default;

    const CIMName& getName() const;
    void setName(const CIMName& name);
    CIMType getType() const;
    void setType(CIMType type);
    const CIMName& getClassOrigin() const;
    void setClassOrigin(const CIMName& classOrigin);
    Boolean getPropagated() const;
    void setPropagated(Boolean propagated);

    CIMMethod& addQualifier(const CIMQualifier& x);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    void removeQualifier(Uint32 index);
    Uint32 getQualifierCount() const;

    /// Throws AlreadyExistsException for a second parameter of the same name.
    CIMMethod& addParameter(const CIMParameter& x);
    Uint32 findParameter(const CIMName& name) const;
    CIMParameter getParameter(Uint32 index);
    CIMConstParameter getParameter(Uint32 index) const;
    void removeParameter(Uint32 index);
    Uint32 getParameterCount() const;

    Boolean identical(const CIMConstMethod& x) const;
    CIMMethod clone() const;
    Boolean isUninitialized() const { return !_rep; }

    struct Rep;

private:
    friend class CIMConstMethod;
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

class CIMConstMethod
{
public:
    CIMConstMethod() = default;
    CIMConstMethod(const CIMConstMethod& x) = default;
    CIMConstMethod(const CIMMethod& x) : _m(x) {}
    CIMConstMethod& operator=(const CIMConstMethod& x) = default;
    CIMConstMethod& operator=(const CIMMethod& x) { _m = x; return *this; }

    const CIMName& getName() const { return _m.getName(); }
    CIMType getType() const { return _m.getType(); }
    const CIMName& getClassOrigin() const { return _m.getClassOrigin(); }
    Boolean getPropagated() const { return _m.getPropagated(); }
    Uint32 findQualifier(const CIMName& name) const { return _m.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const
    {
        const CIMMethod& m = _m;
        return m.getQualifier(index);
    }
    Uint32 getQualifierCount() const { return _m.getQualifierCount(); }
    Uint32 findParameter(const CIMName& name) const { return _m.findParameter(name); }
    CIMConstParameter getParameter(Uint32 index) const
    {
        const CIMMethod& m = _m;
        return m.getParameter(index);
    }
    Uint32 getParameterCount() const { return _m.getParameterCount(); }
    Boolean identical(const CIMConstMethod& x) const { return _m.identical(x); }
    CIMMethod clone() const { return _m.clone(); }
    Boolean isUninitialized() const { return _m.isUninitialized(); }

private:
    friend class CIMMethod;
    CIMMethod _m;
};

} // namespace Pegasus

#endif
