//%/////////////////////////////////////////////////////////////////////////////
// Array.h: the broker's sequence container. Value semantics; element access is
// bounds-checked and throws IndexOutOfBoundsException as the original does.
// Array<Boolean> holds real bool elements (getData() works for every T).
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Array_h
#define Pegasus_Array_h

#include <Pegasus/Common/Config.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <utility>

namespace Pegasus {

/// Throws IndexOutOfBoundsException (kept out of line so Array.h needs no
/// exception declarations).
[[noreturn]] PEGASUS_COMMON_LINKAGE void ArrayThrowIndexOutOfBoundsException();

/** A growable array of T, stored contiguously. */
template <class T>
class Array
{
public:
    typedef T value_type;

    Array() = default;
    Array(const Array<T>& x) { _assignFrom(x.getData(), x.size()); }
    Array(Array<T>&& x) noexcept { swap(x); }
    explicit Array(Uint32 size) { grow(size, T()); }
    Array(Uint32 size, const T& x) { grow(size, x); }
    Array(const T* items, Uint32 size) { _assignFrom(items, size); }
    ~Array() { _release(); }

    Array<T>& operator=(const Array<T>& x)
    {
        if (this != &x)
        {
            Array<T> tmp(x);
            swap(tmp);
        }
        return *this;
    }
    Array<T>& operator=(Array<T>&& x) noexcept
    {
        if (this != &x)
        {
            _release();
            swap(x);
        }
        return *this;
    }

    void clear()
    {
        std::destroy_n(_data, _size);
        _size = 0;
    }

    void reserveCapacity(Uint32 capacity)
    {
        if (capacity <= _capacity)
            return;
        T* fresh = _allocate(capacity);
        std::uninitialized_move_n(_data, _size, fresh);
        std::destroy_n(_data, _size);
        _deallocate(_data, _capacity);
        _data = fresh;
        _capacity = capacity;
    }

    /// Appends n copies of x.
    void grow(Uint32 size, const T& x)
    {
        _reserveMore(size);
        std::uninitialized_fill_n(_data + _size, size, x);
        _size += size;
    }

    void swap(Array<T>& x) noexcept
    {
        std::swap(_data, x._data);
        std::swap(_size, x._size);
        std::swap(_capacity, x._capacity);
    }

    Uint32 size() const { return _size; }
    Uint32 getCapacity() const { return _capacity; }
    const T* getData() const { return _data; }

    T& operator[](Uint32 index)
    {
        if (index >= _size)
            ArrayThrowIndexOutOfBoundsException();
        return _data[index];
    }
    const T& operator[](Uint32 index) const
    {
        if (index >= _size)
            ArrayThrowIndexOutOfBoundsException();
        return _data[index];
    }

    void append(const T& x) { insert(_size, &x, 1); }
    void append(T&& x)
    {
        // x may be an element of this array: take it before storage moves.
        T item(std::move(x));
        _reserveMore(1);
        ::new (static_cast<void*>(_data + _size)) T(std::move(item));
        _size++;
    }
    void append(const T* x, Uint32 size) { insert(_size, x, size); }
    void appendArray(const Array<T>& x) { insert(_size, x.getData(), x.size()); }
    void prepend(const T& x) { insert(0, &x, 1); }
    void prepend(const T* x, Uint32 size) { insert(0, x, size); }
    void insert(Uint32 index, const T& x) { insert(index, &x, 1); }

    /// Throws IndexOutOfBoundsException if index > size().
    void insert(Uint32 index, const T* x, Uint32 size)
    {
        if (index > _size)
            ArrayThrowIndexOutOfBoundsException();
        if (size == 0)
            return;
        bool aliases = !std::less<const T*>()(x, _data) && std::less<const T*>()(x, _data + _size);
        if (index == _size && !aliases)
        {
            // Appending outside items: construct them straight into place.
            _reserveMore(size);
            std::uninitialized_copy_n(x, size, _data + _size);
            _size += size;
            return;
        }
        // Copy first: x may point into this array and be moved by a reallocation.
        Array<T> items;
        items._assignFrom(x, size);
        _reserveMore(size);
        // Shift the tail up by size, constructing into raw memory past the end.
        Uint32 tail = _size - index;
        Uint32 intoRaw = std::min(tail, size);
        std::uninitialized_move_n(_data + _size - intoRaw, intoRaw, _data + _size + size - intoRaw);
        std::move_backward(_data + index, _data + _size - intoRaw, _data + _size + size - intoRaw);
        // Fill the gap: the part over moved-from live elements is assigned,
        // the part over raw memory is constructed.
        for (Uint32 i = 0; i < size; i++)
        {
            Uint32 pos = index + i;
            if (pos < _size)
                _data[pos] = std::move(items._data[i]);
            else
                ::new (static_cast<void*>(_data + pos)) T(std::move(items._data[i]));
        }
        _size += size;
    }

    void remove(Uint32 index) { remove(index, 1); }

    /// Throws IndexOutOfBoundsException if the range leaves the array.
    void remove(Uint32 index, Uint32 size)
    {
        if (index > _size || size > _size - index)
            ArrayThrowIndexOutOfBoundsException();
        std::move(_data + index + size, _data + _size, _data + index);
        std::destroy_n(_data + _size - size, size);
        _size -= size;
    }

    // Iteration support for code inside this system.
    T* begin() { return _data; }
    T* end() { return _data + _size; }
    const T* begin() const { return _data; }
    const T* end() const { return _data + _size; }

private:
    static T* _allocate(Uint32 n)
    {
        return static_cast<T*>(::operator new(sizeof(T) * n, std::align_val_t(alignof(T))));
    }
    static void _deallocate(T* p, Uint32 n)
    {
        if (p)
            ::operator delete(p, sizeof(T) * n, std::align_val_t(alignof(T)));
    }
    // Room for `more` elements beyond the current ones, growing geometrically.
    void _reserveMore(Uint32 more)
    {
        if (more > Uint32(-1) - _size)
            throw std::bad_alloc();
        Uint32 needed = _size + more;
        if (needed > _capacity)
        {
            Uint32 doubled = _capacity > Uint32(-1) / 2 ? Uint32(-1) : _capacity * 2;
            reserveCapacity(std::max<Uint32>(needed, _capacity ? doubled : 8));
        }
    }
    void _assignFrom(const T* items, Uint32 size)
    {
        _reserveMore(size);
        std::uninitialized_copy_n(items, size, _data);
        _size = size;
    }
    void _release()
    {
        std::destroy_n(_data, _size);
        _deallocate(_data, _capacity);
        _data = nullptr;
        _size = 0;
        _capacity = 0;
    }

    T* _data = nullptr;
    Uint32 _size = 0;
    Uint32 _capacity = 0;
};

/// Element-wise equality (the original keeps this in an internal header).
template <class T>
Boolean operator==(const Array<T>& x, const Array<T>& y)
{
    if (x.size() != y.size())
        return false;
    for (Uint32 i = 0; i < x.size(); i++)
        if (!(x[i] == y[i]))
            return false;
    return true;
}

} // namespace Pegasus

#endif
