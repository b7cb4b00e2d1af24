//%/////////////////////////////////////////////////////////////////////////////
// CIMParamValue.h: a named argument of a method call. The name is a String (not
// a CIMName), so compare it with String::equalNoCase. "Untyped" marks a value
// that arrived as text without a declared type.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMParamValue_h
#define Pegasus_CIMParamValue_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/CIMValue.h>

#include <memory>

namespace Pegasus {

class CIMParamValue
{
public:
    /// Uninitialized; members other than assignment throw UninitializedObjectException.
    CIMParamValue();
    CIMParamValue(const CIMParamValue& x) = default;
    CIMParamValue(String parameterName, CIMValue value, Boolean isTyped = true);
    CIMParamValue& operator=(const CIMParamValue& x) = default;

    String getParameterName() const;
    CIMValue getValue() const;
    Boolean isTyped() const;
    void setParameterName(String& parameterName);
    void setValue(CIMValue& value);
    void setIsTyped(Boolean isTyped = true);
    CIMParamValue clone() const;
    Boolean isUninitialized() const { return !_rep; }

    struct Rep;

private:
    Rep& _checked() const;
    std::shared_ptr<Rep> _rep;
};

} // namespace Pegasus

#endif
