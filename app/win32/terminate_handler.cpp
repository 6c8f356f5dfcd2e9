// The program's own terminate handler. The C++ runtime's verbose one prints the type of an
// uncaught exception through the demangler, which alone adds tens of kilobytes to a program
// that has no console to print to. Defining the runtime's symbol here keeps the runtime's
// version (and the demangler) out of the link. Nothing is expected to reach it: every
// handler's exceptions end in the application's error box.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
