/* Includes the C header alone: it must build as C99 with warnings as errors. */
#include <tzo/factoryinfo.h>
