//%/////////////////////////////////////////////////////////////////////////////
// CIMPropertyList.h: the property list of a request. A null list means "every
// property"; an empty, non-null list means "no properties".
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_CIMPropertyList_h
#define Pegasus_CIMPropertyList_h

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/String.h>

namespace Pegasus {

class CIMPropertyList
{
public:
    /// Null: no filtering.
    CIMPropertyList();
    CIMPropertyList(const CIMPropertyList& x) = default;
    /// Non-null; throws UninitializedObjectException for a null name.
    CIMPropertyList(const Array<CIMName>& propertyNames);
    CIMPropertyList& operator=(const CIMPropertyList& x) = default;

    /// Makes the list non-null; throws UninitializedObjectException for a null name.
    void set(const Array<CIMName>& propertyNames);
    /// Back to null.
    void clear();
    Boolean isNull() const { return _isNull; }
    /// 0 when null.
    Uint32 size() const { return _names.size(); }
    /// Throws IndexOutOfBoundsException (also for a null list).
    const CIMName& operator[](Uint32 index) const;
    Array<CIMName> getPropertyNameArray() const { return _names; }
    /// Appends names (makes the list non-null).
    void append(Array<String>& propertyListArray);
    /// Names separated by ", " (diagnostic).
    String toString() const;
    /// Case-insensitive; false for a null list.
    Boolean contains(const CIMName& name) const;
    /// True for a null list, otherwise contains(name).
    Boolean useThisProperty(const CIMName& name) const;

private:
    Array<CIMName> _names;
    Boolean _isNull;
};

} // namespace Pegasus

#endif
