// The lock of a configuration provider object: the object manager calls a
// provider from several threads at once, and a build of the instance arrays
// must not overlap a modification of the same object.
//
// A mutex of the process: no other process can take it, and it dies with the
// process, so nothing outside can hold it for good.
#ifndef MGMT_PROVIDERS_BMCCONF_SYNCHCIM_H
#define MGMT_PROVIDERS_BMCCONF_SYNCHCIM_H

#include <mutex>

namespace Pegasus {

class SynchCIMOp {
 public:
  SynchCIMOp() = default;
  SynchCIMOp(const SynchCIMOp&) = delete;
  SynchCIMOp& operator=(const SynchCIMOp&) = delete;

  /// The lock is usable from construction; `key` names nothing, since the
  /// lock is always private to this process. @return 0.
  int initialize(int key);
  /// Waits until the lock is free and takes it. Not re-entrant.
  void lock();
  void unlock();
  /// Nothing to remove: the lock ends with its object. @return 0.
  int uninitialize();

 private:
  std::mutex mutex_;
};

}  // namespace Pegasus

#endif
