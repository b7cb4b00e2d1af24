//%/////////////////////////////////////////////////////////////////////////////
// Config.h: scalar typedefs and the namespace, linkage and literal macros that
// provider code written for the object-broker API expects.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Config_h
#define Pegasus_Config_h

#define PEGASUS_NAMESPACE_BEGIN namespace Pegasus {
#define PEGASUS_NAMESPACE_END }
#define PEGASUS_USING_PEGASUS using namespace Pegasus
#define PEGASUS_USING_STD using namespace std
#define PEGASUS_STD(X) std::X
#define PEGASUS_NAMESPACE(X) Pegasus::X

#define PEGASUS_EXPORT __attribute__((visibility("default")))
#define PEGASUS_IMPORT __attribute__((visibility("default")))
#define PEGASUS_HIDDEN_LINKAGE __attribute__((visibility("hidden")))
#define PEGASUS_COMMON_LINKAGE PEGASUS_EXPORT
#define PEGASUS_PROVIDER_LINKAGE PEGASUS_EXPORT
#define PEGASUS_CLIENT_LINKAGE PEGASUS_EXPORT

#define PEGASUS_UINT64_LITERAL(X) Uint64(X##ULL)
#define PEGASUS_SINT64_LITERAL(X) Sint64(X##LL)
#define PEGASUS_64BIT_CONVERSION_WIDTH "ll"

#define PEGASUS_OS_LINUX 1
#define PEGASUS_PLATFORM_LINUX_X86_64_GNU 1

/// Returned by every find*() member when nothing matches.
#define PEG_NOT_FOUND Uint32(-1)

namespace Pegasus {

typedef bool Boolean;
typedef unsigned char Uint8;
typedef signed char Sint8;
typedef unsigned short Uint16;
typedef signed short Sint16;
typedef unsigned int Uint32;
typedef signed int Sint32;
typedef unsigned long long Uint64;
typedef long long Sint64;
typedef float Real32;
typedef double Real64;

} // namespace Pegasus

#endif
