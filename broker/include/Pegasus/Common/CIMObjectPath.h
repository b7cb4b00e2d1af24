//%/////////////////////////////////////////////////////////////////////////////
// CIMObjectPath.h: object paths (host, namespace, class name, key bindings),
// their text form "//host/namespace:Class.key=value,..." and their equality.
// Key bindings are kept sorted by name, so the text form and equality do not
// depend on the order in which keys were given.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMObjectPath_h
#define Pegasus_CIMObjectPath_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>

#include <memory>

namespace Pegasus {

class CIMValue;
class CIMObjectPath;

/** One key of an instance path: a name, the value as text and a type that
    says how to read that text. */
class CIMKeyBinding
{
public:
    enum Type { BOOLEAN, STRING, NUMERIC, REFERENCE };

    /// A null name, an empty STRING value.
    CIMKeyBinding();
    CIMKeyBinding(const CIMKeyBinding& x) = default;
    CIMKeyBinding(CIMKeyBinding&& x) noexcept = default;
    CIMKeyBinding(const CIMName& name, const String& value, Type type);
    /** The type follows the value's CIM type and the text its toString()
        (booleans TRUE/FALSE, integers in decimal, a reference as its path).
        Throws TypeMismatchException for arrays and embedded objects. */
    CIMKeyBinding(const CIMName& name, const CIMValue& value);
    ~CIMKeyBinding() = default;

    CIMKeyBinding& operator=(const CIMKeyBinding& x) = default;
    CIMKeyBinding& operator=(CIMKeyBinding&& x) noexcept = default;

    const CIMName& getName() const { return _name; }
    void setName(const CIMName& name) { _name = name; }
    const String& getValue() const { return _value; }
    void setValue(const String& value) { _value = value; }
    Type getType() const { return _type; }
    void setType(Type type) { _type = type; }

    /** True when the binding's type matches the value's kind and its text,
        read as the value's CIM type, equals the value. */
    Boolean equal(CIMValue value);

private:
    CIMName _name;
    String _value;
    Type _type = STRING;
};

/** Names equal ignoring case, same type, values equal by type: STRING exact,
    BOOLEAN ignoring case, NUMERIC by number (text compared when either does
    not parse), REFERENCE by path equality (text when either does not parse). */
Boolean operator==(const CIMKeyBinding& x, const CIMKeyBinding& y);
inline Boolean operator!=(const CIMKeyBinding& x, const CIMKeyBinding& y) { return !(x == y); }

/** A path to a class or an instance. Copies share the data until one of them
    changes. */
class CIMObjectPath
{
public:
    CIMObjectPath();
    CIMObjectPath(const CIMObjectPath& x);
    CIMObjectPath(CIMObjectPath&& x) noexcept;
    /// Parses; throws MalformedObjectNameException.
    CIMObjectPath(const String& objectName);
    /// Throws MalformedObjectNameException for a host that is neither name[:port] nor an IP literal.
    CIMObjectPath(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
        const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    ~CIMObjectPath();

    CIMObjectPath& operator=(const CIMObjectPath& x);
    CIMObjectPath& operator=(CIMObjectPath&& x) noexcept;
    CIMObjectPath& operator=(const String& objectName);

    void clear();
    void set(const String& host, const CIMNamespaceName& nameSpace, const CIMName& className,
        const Array<CIMKeyBinding>& keyBindings = Array<CIMKeyBinding>());
    /// Parses; throws MalformedObjectNameException and leaves the path unchanged then.
    void set(const String& objectName);

    const String& getHost() const;
    void setHost(const String& host);
    const CIMNamespaceName& getNameSpace() const;
    void setNameSpace(const CIMNamespaceName& nameSpace);
    const CIMName& getClassName() const;
    void setClassName(const CIMName& className);
    /// Sorted by name (case-insensitive), not in the order they were given.
    const Array<CIMKeyBinding>& getKeyBindings() const;
    void setKeyBindings(const Array<CIMKeyBinding>& keyBindings);

    /// The text form, keys in stored (sorted) order.
    String toString() const;
    /// Host, namespace, class and keys all equal (see operator== of CIMKeyBinding).
    Boolean identical(const CIMObjectPath& x) const;
    /// Equal paths hash equally.
    Uint32 makeHashCode() const;

    struct Rep;

private:
    Rep& _mutable();
    std::shared_ptr<Rep> _rep;
};

Boolean operator==(const CIMObjectPath& x, const CIMObjectPath& y);
Boolean operator!=(const CIMObjectPath& x, const CIMObjectPath& y);

} // namespace Pegasus

#endif
