//%/////////////////////////////////////////////////////////////////////////////
// CIMValue.h: a typed CIM value, scalar or array, possibly null.
//
// Compatibility trap closed here: the original API has no const char*
// constructor, so CIMValue("text") silently became the Boolean true. This
// library deletes the const char* overloads, so such code fails to compile
// and has to say String("text"). The same holds for every other pointer.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMValue_h
#define Pegasus_CIMValue_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMObjectPath.h>

#include <memory>

namespace Pegasus {

class CIMInstance;

/** Value semantics: copies share storage, and set() replaces it. */
class CIMValue
{
public:
    /// Null, type BOOLEAN, not an array.
    CIMValue();
    /// A null value of the given type.
    CIMValue(CIMType type, Boolean isArray, Uint32 arraySize = 0);
    CIMValue(Boolean x);
    CIMValue(Uint8 x);
    CIMValue(Sint8 x);
    CIMValue(Uint16 x);
    CIMValue(Sint16 x);
    CIMValue(Uint32 x);
    CIMValue(Sint32 x);
    CIMValue(Uint64 x);
    CIMValue(Sint64 x);
    CIMValue(Real32 x);
    CIMValue(Real64 x);
    CIMValue(const Char16& x);
    CIMValue(const String& x);
    CIMValue(const CIMDateTime& x);
    CIMValue(const CIMObjectPath& x);
    CIMValue(const CIMInstance& x);
    CIMValue(const Array<Boolean>& x);
    CIMValue(const Array<Uint8>& x);
    CIMValue(const Array<Sint8>& x);
    CIMValue(const Array<Uint16>& x);
    CIMValue(const Array<Sint16>& x);
    CIMValue(const Array<Uint32>& x);
    CIMValue(const Array<Sint32>& x);
    CIMValue(const Array<Uint64>& x);
    CIMValue(const Array<Sint64>& x);
    CIMValue(const Array<Real32>& x);
    CIMValue(const Array<Real64>& x);
    CIMValue(const Array<Char16>& x);
    CIMValue(const Array<String>& x);
    CIMValue(const Array<CIMDateTime>& x);
    CIMValue(const Array<CIMObjectPath>& x);
    CIMValue(const Array<CIMInstance>& x);
    /// A literal would otherwise become a Boolean; write String("...").
    CIMValue(const char* x) = delete;
    /// Any other pointer would become a Boolean too.
    template <class T> CIMValue(T* x) = delete;
    CIMValue(const CIMValue& x);
    CIMValue(CIMValue&& x) noexcept;
    ~CIMValue();

    CIMValue& operator=(const CIMValue& x);
    CIMValue& operator=(CIMValue&& x) noexcept;
    /// Copies x, cloning embedded instances.
    void assign(const CIMValue& x);
    /// Back to null BOOLEAN.
    void clear();

    /// Same type and same array-ness.
    Boolean typeCompatible(const CIMValue& x) const;
    Boolean isArray() const;
    Boolean isNull() const;
    /// Number of elements of a non-null array, otherwise 0.
    Uint32 getArraySize() const;
    CIMType getType() const;

    void setNullValue(CIMType type, Boolean isArray, Uint32 arraySize = 0);

    void set(Boolean x);
    void set(Uint8 x);
    void set(Sint8 x);
    void set(Uint16 x);
    void set(Sint16 x);
    void set(Uint32 x);
    void set(Sint32 x);
    void set(Uint64 x);
    void set(Sint64 x);
    void set(Real32 x);
    void set(Real64 x);
    void set(const Char16& x);
    void set(const String& x);
    void set(const CIMDateTime& x);
    void set(const CIMObjectPath& x);
    void set(const CIMInstance& x);
    void set(const Array<Boolean>& x);
    void set(const Array<Uint8>& x);
    void set(const Array<Sint8>& x);
    void set(const Array<Uint16>& x);
    void set(const Array<Sint16>& x);
    void set(const Array<Uint32>& x);
    void set(const Array<Sint32>& x);
    void set(const Array<Uint64>& x);
    void set(const Array<Sint64>& x);
    void set(const Array<Real32>& x);
    void set(const Array<Real64>& x);
    void set(const Array<Char16>& x);
    void set(const Array<String>& x);
    void set(const Array<CIMDateTime>& x);
    void set(const Array<CIMObjectPath>& x);
    void set(const Array<CIMInstance>& x);
    void set(const char* x) = delete;
    template <class T> void set(T* x) = delete;

    /** Copies the value into x. Throws TypeMismatchException when the type
        or array-ness differs; leaves x untouched when the value is null. */
    void get(Boolean& x) const;
    void get(Uint8& x) const;
    void get(Sint8& x) const;
    void get(Uint16& x) const;
    void get(Sint16& x) const;
    void get(Uint32& x) const;
    void get(Sint32& x) const;
    void get(Uint64& x) const;
    void get(Sint64& x) const;
    void get(Real32& x) const;
    void get(Real64& x) const;
    void get(Char16& x) const;
    void get(String& x) const;
    void get(CIMDateTime& x) const;
    void get(CIMObjectPath& x) const;
    void get(CIMInstance& x) const;
    void get(Array<Boolean>& x) const;
    void get(Array<Uint8>& x) const;
    void get(Array<Sint8>& x) const;
    void get(Array<Uint16>& x) const;
    void get(Array<Sint16>& x) const;
    void get(Array<Uint32>& x) const;
    void get(Array<Sint32>& x) const;
    void get(Array<Uint64>& x) const;
    void get(Array<Sint64>& x) const;
    void get(Array<Real32>& x) const;
    void get(Array<Real64>& x) const;
    void get(Array<Char16>& x) const;
    void get(Array<String>& x) const;
    void get(Array<CIMDateTime>& x) const;
    void get(Array<CIMObjectPath>& x) const;
    void get(Array<CIMInstance>& x) const;

    /** Type-compatible, same null state and equal values; two nulls of the
        same type are equal. */
    Boolean equal(const CIMValue& x) const;

    /** Diagnostic text: "" for null, TRUE/FALSE, decimal integers, reals
        with %.16e, each array element followed by one space, a reference as
        its path. */
    String toString() const;

    struct Rep;

private:
    std::shared_ptr<const Rep> _rep;
};

Boolean operator==(const CIMValue& x, const CIMValue& y);
Boolean operator!=(const CIMValue& x, const CIMValue& y);

} // namespace Pegasus

#endif
