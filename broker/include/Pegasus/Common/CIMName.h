//%/////////////////////////////////////////////////////////////////////////////
// CIMName.h: validated class, property, method and key names, and namespace
// names. Both compare without regard to (ASCII) case.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMName_h
#define Pegasus_CIMName_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>

namespace Pegasus {

/** A CIM element name. The default-constructed name is null; every other
    value must be legal, and the empty string is not, so `CIMName("")` and a
    comparison `name == ""` throw InvalidNameException. */
class CIMName
{
public:
    CIMName() = default;
    /// Throws InvalidNameException unless name is legal.
    CIMName(const String& name);
    CIMName(const char* name);

    CIMName& operator=(const CIMName& name) = default;
    CIMName& operator=(const String& name);
    CIMName& operator=(const char* name);

    const String& getString() const { return _name; }
    Boolean isNull() const { return _name.size() == 0; }
    void clear() { _name.clear(); }
    /// Case-insensitive (ASCII folding).
    Boolean equal(const CIMName& name) const;
    Boolean equal(const char* name) const;

    /** First unit an ASCII letter, '_' or U+0080..U+FFEF; the rest also
        ASCII digits. */
    static Boolean legal(const String& name);

private:
    String _name;
};

Boolean operator==(const CIMName& name1, const CIMName& name2);
Boolean operator!=(const CIMName& name1, const CIMName& name2);

/** A namespace name: one or more '/'-separated legal names. One leading '/'
    is accepted and dropped. */
class CIMNamespaceName
{
public:
    CIMNamespaceName() = default;
    /// Throws InvalidNamespaceNameException unless name is legal.
    CIMNamespaceName(const String& name);
    CIMNamespaceName(const char* name);

    CIMNamespaceName& operator=(const CIMNamespaceName& name) = default;
    CIMNamespaceName& operator=(const String& name);
    CIMNamespaceName& operator=(const char* name);

    const String& getString() const { return _name; }
    Boolean isNull() const { return _name.size() == 0; }
    void clear() { _name.clear(); }
    Boolean equal(const CIMNamespaceName& name) const;
    Boolean equal(const char* name) const;

    static Boolean legal(const String& name);

private:
    String _name;
};

Boolean operator==(const CIMNamespaceName& name1, const CIMNamespaceName& name2);
Boolean operator!=(const CIMNamespaceName& name1, const CIMNamespaceName& name2);

} // namespace Pegasus

#endif
