// What ends the program when an exception escapes everything. A window program has no console
// to describe the exception on, yet libstdc++'s default handler would print it, and brings a
// C++ name demangler of some 70 KB into the executable to do so. Ending the program is all that
// can be done here, and all this handler does.

#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
