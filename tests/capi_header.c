/* The C interface's header on its own: tests/CMakeLists.txt compiles this as
 * C89, C99, C11 and C++17 with every warning an error. */
#include "capi/velnarlanjoin.h"
