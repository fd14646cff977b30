#include <iostream>

#include "base/error.h"
#include "tools/pack/pack_commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "kivo-pack " << KIVO_VERSION << '\n';
        return 0;
    }
    try {
        return kivo::pack::RunPack(args, std::cout, std::cerr);
    } catch (const kivo::KivoError& error) {
        std::cerr << "kivo-pack: " << error.what() << '\n';
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "kivo-pack: " << error.what() << '\n';
        return 1;
    }
}
