#include "synchcim.h"

namespace Pegasus {

int SynchCIMOp::initialize(int) { return 0; }

void SynchCIMOp::lock() { mutex_.lock(); }

void SynchCIMOp::unlock() { mutex_.unlock(); }

int SynchCIMOp::uninitialize() { return 0; }

}  // namespace Pegasus
