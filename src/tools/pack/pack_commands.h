#pragma once
// The commands of kivo-pack: list, extract, create, verify and append-exe over packed
// archives (game.dat, executables with an appended archive, split volumes, save.dat).

#include <ostream>
#include <string>
#include <vector>

namespace kivo::pack {

// Runs one command line (without the program name); returns the exit status: 0 success,
// 1 when the command found faults (bad entries, refused names), 2 for a usage error.
[[nodiscard]] int RunPack(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

}  // namespace kivo::pack
