// A module whose PegasusCreateProvider throws an exception of a type defined in
// the module itself. Reading such an exception after the library has been
// closed would call code that is no longer mapped, so the host must read it
// while the module is still loaded.
#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMProvider.h>

#include <exception>

namespace {

class ModuleOwnError : public std::exception {
 public:
  const char* what() const noexcept override { return "the module's own factory error"; }
};

}  // namespace

extern "C" PEGASUS_EXPORT Pegasus::CIMProvider* PegasusCreateProvider(const Pegasus::String&) {
  throw ModuleOwnError();
}
