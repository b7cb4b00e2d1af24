// Mutex: a pthread mutex, recursive unless asked otherwise.
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/Mutex.h>

#include <cerrno>
#include <ctime>

namespace Pegasus {

Mutex::Mutex() : _recursive(true) { _init(); }
Mutex::Mutex(RecursiveTag) : _recursive(true) { _init(); }
Mutex::Mutex(NonRecursiveTag) : _recursive(false) { _init(); }
Mutex::~Mutex() { pthread_mutex_destroy(&_mutex); }

void Mutex::_init() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  if (_recursive) pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&_mutex, &attr);
  pthread_mutexattr_destroy(&attr);
}

void Mutex::lock() {
  int rc = pthread_mutex_lock(&_mutex);
  if (rc != 0) throw Exception("mutex lock failed");
}

Boolean Mutex::try_lock() { return pthread_mutex_trylock(&_mutex) == 0; }

Boolean Mutex::timed_lock(Uint32 milliseconds) {
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec++;
    deadline.tv_nsec -= 1000000000L;
  }
  return pthread_mutex_timedlock(&_mutex, &deadline) == 0;
}

void Mutex::unlock() { pthread_mutex_unlock(&_mutex); }

void Mutex::reinitialize() {
  pthread_mutex_destroy(&_mutex);
  _init();
}

}  // namespace Pegasus
