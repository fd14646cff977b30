#include "archive_builder.h"

#include <zlib.h>

namespace kivo::test {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> ZlibOf(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), 1);
    out.resize(size);
    return out;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, static_cast<uint32_t>(v));
    Put32(out, static_cast<uint32_t>(v >> 32));
}

std::vector<uint8_t> BuildArchive(int version, const std::vector<FixtureEntry>& entries,
                                  std::optional<uint64_t> dataOffset) {
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

}  // namespace kivo::test
