// Includes the public header alone: it must build on device toolchains, from C++11 on, with
// warnings as errors.
#include <tzo/factoryinfo.hpp>
