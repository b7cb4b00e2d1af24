//%/////////////////////////////////////////////////////////////////////////////
// Mutex.h: the lock providers use. Mutex() is recursive, as in the original.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Mutex_h
#define Pegasus_Mutex_h

#include <Pegasus/Common/Config.h>

#include <pthread.h>

namespace Pegasus {

class Mutex
{
public:
    enum RecursiveTag { RECURSIVE };
    enum NonRecursiveTag { NON_RECURSIVE };

    /// Recursive.
    Mutex();
    Mutex(RecursiveTag);
    Mutex(NonRecursiveTag);
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    Boolean try_lock();
    /// Waits at most milliseconds; false on time-out.
    Boolean timed_lock(Uint32 milliseconds);
    void unlock();
    /// Destroys and re-creates the lock (only when nobody holds it).
    void reinitialize();

private:
    void _init();
    pthread_mutex_t _mutex;
    Boolean _recursive;
};

/// Holds a Mutex for its lifetime.
class AutoMutex
{
public:
    explicit AutoMutex(Mutex& mutex) : _mutex(mutex) { _mutex.lock(); }
    ~AutoMutex() { _mutex.unlock(); }
    AutoMutex(const AutoMutex&) = delete;
    AutoMutex& operator=(const AutoMutex&) = delete;

private:
    Mutex& _mutex;
};

} // namespace Pegasus

#endif
