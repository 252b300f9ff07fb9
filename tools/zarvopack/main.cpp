#include <iostream>

#include "zarvopack.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zarvo::pack::runZarvopack(args, std::cout, std::cerr);
}
