// tzo-factoryinfo: the factory data of a TZO gateway, for shell scripts and people.
#include "cli.hpp"

#include <iostream>

int main(int argc, char* argv[]) {
    // Unsynchronised, std::cin reads through a file buffer, which reports a failed read as
    // badbit; the stdio-synchronised one would pass it off as the end of the input.
    std::ios_base::sync_with_stdio(false);
    return tzo::factoryinfo::tool::run(argc, argv, std::cin, std::cout, std::cerr);
}
