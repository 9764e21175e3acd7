// Linked into the installer's program only. The standard library's default
// terminate handler prints the uncaught exception's demangled type to stderr,
// which a GUI program does not have, and brings a C++ demangler of some 45 KB
// into every download for it. A defined handler of that name takes the
// library's place at link time; the end is the same abort. The installer
// catches what it expects at module edges; anything that reaches here is a
// fault, and the crash it causes is what Windows reports.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
