#pragma once
// What the demo's generators share: writing the bytes they built into a file of the game.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace demo {

// False when the file cannot be written whole.
inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace demo
