// The library's failures thrown, each from one place.
#include "error.hpp"

namespace tzo::factoryinfo::detail {

Error::~Error() = default;

void fail(int code) {
    throw Error(code);
}

void failRead(int errorNumber) {
    throw ReadError(messageOf(TZO_FI_READ_FAILED), errorNumber);
}

} // namespace tzo::factoryinfo::detail
