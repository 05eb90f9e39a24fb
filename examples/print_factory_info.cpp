// Prints the identity of a device from a copy of its factory data.
//
//   print-factory-info FILE
//
// On a device, FactoryInfo() reads "/dev/mtd/by-label/FACTORY" itself; this example reads a
// file instead, the same way, so that it runs anywhere.
#include <tzo/factoryinfo.hpp>

#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: print-factory-info FILE\n";
        return 2;
    }

    try {
        tzo::factoryinfo::FactoryData file(argv[1]);
        const tzo::factoryinfo::FactoryInfo info(file.stream());
        std::cout << "Serial number:     " << info["SerialNumber"] << '\n'
                  << "MAC address:       " << info["MacAddress"] << '\n'
                  << "Hardware revision: " << info["HardwareRevision"] << '\n'
                  << "Checksum:          "
                  << (info.isChecksumValid() ? "verified" : "none recorded") << '\n';
    } catch (const tzo::factoryinfo::ReadError& error) {
        const std::string cause = error.cause();
        std::cerr << "print-factory-info: " << error.what() << (cause.empty() ? "" : ": ") << cause
                  << '\n';
        return 1;
    } catch (const std::invalid_argument& error) {
        std::cerr << "print-factory-info: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
