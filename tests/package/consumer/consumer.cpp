// Reads a serial number through the installed library; succeeds only if it comes back right.
#include <tzo/factoryinfo.hpp>

#include <iostream>
#include <sstream>

int main() {
    std::istringstream data("BeginOfFactoryinfo\nSerialNumber=X1\nEndOfFactoryinfo\n");
    const tzo::factoryinfo::FactoryInfo info(data);
    std::cout << "SerialNumber=" << info["SerialNumber"] << '\n';
    return info["SerialNumber"] == "X1" ? 0 : 1;
}
