// Prints the serial number of a device, and only from factory data that the station signed with
// one of the keys given: the check and the reading see the same bytes, read once.
//
//   signed-serial FILE KEY...     (on a device, FILE is /dev/mtd/by-label/FACTORY)
#include <tzo/factoryinfo.hpp>

#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: signed-serial FILE KEY...\n";
        return 2;
    }
    try {
        std::vector<tzo::factoryinfo::PublicKey> keys; // the old and the new during a rotation
        for (int i = 2; i < argc; ++i) {
            std::ifstream pem(argv[i]);
            keys.emplace_back(std::string(std::istreambuf_iterator<char>(pem), {}));
        }
        tzo::factoryinfo::FactoryData data(argv[1]);
        data.verifySignature(keys);
        const tzo::factoryinfo::FactoryInfo info(data.stream());
        // The signature covers the sums: a section without one is not covered.
        if (!info.isChecksumValid()) {
            std::cerr << "signed-serial: no sum recorded for Factoryinfo\n";
            return 1;
        }
        std::cout << info["SerialNumber"] << '\n';
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "signed-serial: " << error.what() << '\n';
        return 1;
    }
}
