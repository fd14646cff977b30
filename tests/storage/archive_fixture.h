#pragma once
// Hand-built archive bytes for the reader tests, written field by field without the player's
// own writer so that both sides are checked against the format rather than each other.

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

inline constexpr uint32_t kSeed = 0x4B69766F;

struct FixtureEntry {
    std::string name;
    std::vector<uint8_t> stored;  // the bytes as they lie in the archive
    uint8_t storedFlag = 1;
    int32_t timestamp = 0;
    int32_t checksum = 0;
    uint8_t rawChecksum = 0;
};

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::vector<uint8_t> ZlibOf(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), 1);
    out.resize(size);
    return out;
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

// The keystream: state = state * 5 + seed, starting from 0.
struct Keystream {
    uint32_t state = 0;
    uint32_t Next() { return state = state * 5 + kSeed; }
};

// An archive of the given version (0, 100, 101, 102) with the entry data right after the
// directory. With a dataOffset the offsets say the data starts there instead (relative to the
// archive start) and only the directory is returned; the caller places the data.
inline std::vector<uint8_t> BuildArchive(int version, const std::vector<FixtureEntry>& entries,
                                         std::optional<uint64_t> dataOffset = std::nullopt) {
    std::vector<uint8_t> out;
    if (version != 0) {
        out.push_back('v');
        out.push_back('f');
        Put32(out, static_cast<uint32_t>(version));
    }
    Put32(out, static_cast<uint32_t>(entries.size()));
    Keystream names;
    for (const FixtureEntry& e : entries) {
        Put32(out, static_cast<uint32_t>(e.name.size()));
        for (char c : e.name)
            out.push_back(static_cast<uint8_t>(
                version >= 100 ? (static_cast<uint8_t>(c) ^ (names.Next() & 0xFF)) : c));
    }
    const bool wide = version >= 101;
    size_t table = (entries.size() + 1) * (wide ? 8 : 4);
    if (wide) table += entries.size() * (version >= 102 ? 10 : 9);
    uint64_t at = dataOffset ? *dataOffset : out.size() + table;
    Keystream offsets;
    auto putOffset = [&](uint64_t v) {
        if (wide)
            Put64(out, version >= 100 ? v ^ static_cast<uint64_t>(static_cast<int64_t>(
                                                static_cast<int32_t>(offsets.Next())))
                                      : v);
        else
            Put32(out, static_cast<uint32_t>(version >= 100 ? v ^ offsets.Next() : v));
    };
    for (const FixtureEntry& e : entries) {
        putOffset(at);
        at += e.stored.size();
    }
    putOffset(at);
    if (wide) {
        for (const FixtureEntry& e : entries)
            out.push_back(e.storedFlag);
        for (const FixtureEntry& e : entries)
            Put32(out, static_cast<uint32_t>(e.timestamp));
        for (const FixtureEntry& e : entries)
            Put32(out, static_cast<uint32_t>(e.checksum));
        if (version >= 102) {
            for (const FixtureEntry& e : entries)
                out.push_back(e.rawChecksum);
        }
    }
    if (dataOffset) return out;
    for (const FixtureEntry& e : entries)
        out.insert(out.end(), e.stored.begin(), e.stored.end());
    return out;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder below the test output folder, emptied first.
inline std::filesystem::path TestFolder(const std::string& name) {
    const char* root = std::getenv("KIVO_TEST_OUTPUT");
    std::filesystem::path folder =
        std::filesystem::path(root ? root : "/tmp/kivo-test-output") / "storage" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace kivo::test
