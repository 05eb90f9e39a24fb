// Prints the identity of a device from a copy of its factory data.
//
//   print-factory-info FILE
//
// On a device, FactoryInfo() reads "/dev/mtd/by-label/FACTORY" itself; this example reads a
// file instead so that it runs anywhere.
#include <tzo/factoryinfo.hpp>

#include <fstream>
#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: print-factory-info FILE\n";
        return 2;
    }

    std::ifstream file(argv[1], std::ios_base::in | std::ios_base::binary);
    if (!file) {
        std::cerr << "print-factory-info: cannot open " << argv[1] << '\n';
        return 1;
    }

    try {
        const tzo::factoryinfo::FactoryInfo info(file);
        std::cout << "Serial number:     " << info["SerialNumber"] << '\n'
                  << "MAC address:       " << info["MacAddress"] << '\n'
                  << "Hardware revision: " << info["HardwareRevision"] << '\n'
                  << "Checksum:          "
                  << (info.isChecksumValid() ? "verified" : "none recorded") << '\n';
    } catch (const std::invalid_argument& error) {
        std::cerr << "print-factory-info: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
