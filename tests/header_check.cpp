// Includes the public headers alone: they must build on device toolchains, from C++11 on, with
// warnings as errors; the C header too, as C++ programs include it.
#include <tzo/factoryinfo.h>
#include <tzo/factoryinfo.hpp>
