// Compiled as C++11 with warnings as errors: the public header must build on device toolchains.
#include <tzo/factoryinfo.hpp>
