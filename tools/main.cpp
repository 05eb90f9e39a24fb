// tzo-factoryinfo: the factory data of a TZO gateway, for shell scripts and people.
#include "cli.hpp"

#include <unistd.h>

#include <iostream>

int main(int argc, char* argv[]) {
    return tzo::factoryinfo::tool::run(argc, argv, STDIN_FILENO, std::cout, std::cerr);
}
