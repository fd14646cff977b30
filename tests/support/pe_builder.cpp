#include "support/pe_builder.h"

#include <algorithm>
#include <map>

namespace kivo::test {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kCodeRva = 0x1000;
constexpr uint32_t kResourceRva = 0x2000;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint16_t kLanguageJapanese = 0x411;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
void Put64(std::vector<uint8_t>& out, size_t at, uint64_t v) {
    Put32(out, at, static_cast<uint32_t>(v));
    Put32(out, at + 4, static_cast<uint32_t>(v >> 32));
}

// Resource directory entries are sorted: string names first (by name), then ids.
bool KeyBefore(const PeBuilder::Key& a, const PeBuilder::Key& b) {
    if (a.index() != b.index()) return a.index() < b.index();
    return a < b;
}

struct KeyLess {
    bool operator()(const PeBuilder::Key& a, const PeBuilder::Key& b) const {
        return KeyBefore(a, b);
    }
};

// The resource section's bytes for resources placed at rva.
std::vector<uint8_t> ResourceSection(
    const std::map<PeBuilder::Key, std::map<PeBuilder::Key, const std::vector<uint8_t>*, KeyLess>,
                   KeyLess>& tree,
    uint32_t rva) {
    // Directories first (root, then each type's, then each name's one-language table), then
    // the data entries, the name strings, and the data.
    size_t names = 0;
    for (const auto& [type, byName] : tree)
        names += byName.size();
    const size_t rootSize = 16 + 8 * tree.size();
    size_t typeTables = 0;
    for (const auto& [type, byName] : tree)
        typeTables += 16 + 8 * byName.size();
    const size_t languageTables = names * (16 + 8);
    const size_t dataEntries = names * 16;
    size_t at = rootSize + typeTables + languageTables + dataEntries;

    std::map<std::string, size_t> stringAt;
    auto reserveString = [&](const PeBuilder::Key& key) {
        if (const auto* text = std::get_if<std::string>(&key)) {
            if (!stringAt.contains(*text)) {
                stringAt[*text] = at;
                at += 2 + 2 * text->size();
            }
        }
    };
    for (const auto& [type, byName] : tree) {
        reserveString(type);
        for (const auto& [name, data] : byName)
            reserveString(name);
    }
    std::vector<size_t> dataAt;
    for (const auto& [type, byName] : tree) {
        for (const auto& [name, data] : byName) {
            at = AlignUp(static_cast<uint32_t>(at), 8);
            dataAt.push_back(at);
            at += data->size();
        }
    }

    std::vector<uint8_t> out(at, 0);
    for (const auto& [text, pos] : stringAt) {
        Put16(out, pos, static_cast<uint16_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i)
            Put16(out, pos + 2 + 2 * i, static_cast<uint8_t>(text[i]));
    }
    auto putTable = [&](size_t pos, const std::vector<PeBuilder::Key>& keys) {
        uint16_t named = 0, ids = 0;
        for (const PeBuilder::Key& key : keys)
            (std::holds_alternative<std::string>(key) ? named : ids)++;
        Put16(out, pos + 12, named);
        Put16(out, pos + 14, ids);
        for (size_t i = 0; i < keys.size(); ++i) {
            const PeBuilder::Key& key = keys[i];
            uint32_t field =
                std::holds_alternative<std::string>(key)
                    ? 0x80000000u | static_cast<uint32_t>(stringAt[std::get<std::string>(key)])
                    : std::get<uint16_t>(key);
            Put32(out, pos + 16 + 8 * i, field);
        }
    };

    std::vector<PeBuilder::Key> types;
    for (const auto& [type, byName] : tree)
        types.push_back(type);
    putTable(0, types);
    size_t typeTable = rootSize;
    size_t languageTable = rootSize + typeTables;
    size_t dataEntry = rootSize + typeTables + languageTables;
    size_t item = 0;
    for (size_t t = 0; t < types.size(); ++t) {
        Put32(out, 16 + 8 * t + 4, 0x80000000u | static_cast<uint32_t>(typeTable));
        const auto& byName = tree.at(types[t]);
        std::vector<PeBuilder::Key> keys;
        for (const auto& [name, data] : byName)
            keys.push_back(name);
        putTable(typeTable, keys);
        size_t n = 0;
        for (const auto& [name, data] : byName) {
            Put32(out, typeTable + 16 + 8 * n + 4,
                  0x80000000u | static_cast<uint32_t>(languageTable));
            putTable(languageTable, {PeBuilder::Key(kLanguageJapanese)});
            Put32(out, languageTable + 16 + 4, static_cast<uint32_t>(dataEntry));
            Put32(out, dataEntry, rva + static_cast<uint32_t>(dataAt[item]));
            Put32(out, dataEntry + 4, static_cast<uint32_t>(data->size()));
            std::copy(data->begin(), data->end(),
                      out.begin() + static_cast<std::ptrdiff_t>(dataAt[item]));
            languageTable += 24;
            dataEntry += 16;
            ++item;
            ++n;
        }
        typeTable += 16 + 8 * byName.size();
    }
    return out;
}

}  // namespace

PeBuilder& PeBuilder::Plus(bool plus) {
    plus_ = plus;
    return *this;
}

PeBuilder& PeBuilder::Resource(std::string type, std::string name, std::vector<uint8_t> data) {
    items_.push_back(Item{std::move(type), std::move(name), std::move(data)});
    return *this;
}

PeBuilder& PeBuilder::IdResource(uint16_t type, uint16_t id, std::vector<uint8_t> data) {
    items_.push_back(Item{type, id, std::move(data)});
    return *this;
}

PeBuilder& PeBuilder::NoResourceDirectory() {
    resourceDirectory_ = false;
    return *this;
}

std::vector<uint8_t> PeBuilder::Bytes() const {
    Layout layout;
    return Build(layout);
}

PeBuilder::Layout PeBuilder::Where() const {
    Layout layout;
    (void)Build(layout);
    return layout;
}

std::vector<uint8_t> PeBuilder::Build(Layout& layout) const {
    std::map<Key, std::map<Key, const std::vector<uint8_t>*, KeyLess>, KeyLess> tree;
    for (const Item& item : items_)
        tree[item.type][item.name] = &item.data;
    const std::vector<uint8_t> resources = ResourceSection(tree, kResourceRva);

    const uint16_t optionalSize = plus_ ? 240 : 224;
    const uint32_t headersEnd = kPeOffset + 24 + optionalSize + 2 * 40;
    const uint32_t headersSize = AlignUp(headersEnd, kFileAlignment);
    const uint32_t codeAt = headersSize;
    const uint32_t codeSize = kFileAlignment;
    const uint32_t resourceAt = codeAt + codeSize;
    const auto resourceSize = static_cast<uint32_t>(resources.size());
    const uint32_t resourceRaw = AlignUp(std::max<uint32_t>(resourceSize, 1), kFileAlignment);

    std::vector<uint8_t> out(resourceAt + resourceRaw, 0);
    // DOS header: the signature and where the PE header is; no DOS program.
    out[0] = 'M';
    out[1] = 'Z';
    Put32(out, 0x3C, kPeOffset);

    // COFF header.
    const size_t pe = kPeOffset;
    out[pe] = 'P';
    out[pe + 1] = 'E';
    Put16(out, pe + 4, plus_ ? 0x8664 : 0x14C);    // machine
    Put16(out, pe + 6, 2);                         // sections
    Put16(out, pe + 20, optionalSize);             // optional header size
    Put16(out, pe + 22, plus_ ? 0x0022 : 0x0102);  // executable (32-bit or large address)

    // Optional header.
    const size_t opt = pe + 24;
    Put16(out, opt, plus_ ? 0x20B : 0x10B);
    Put32(out, opt + 4, codeSize);     // size of code
    Put32(out, opt + 8, resourceRaw);  // size of initialised data
    Put32(out, opt + 16, kCodeRva);    // entry point
    Put32(out, opt + 20, kCodeRva);    // base of code
    if (plus_) {
        Put64(out, opt + 24, 0x140000000ull);  // image base
    } else {
        Put32(out, opt + 24, kResourceRva);  // base of data
        Put32(out, opt + 28, 0x400000);      // image base
    }
    Put32(out, opt + 32, kSectionAlignment);
    Put32(out, opt + 36, kFileAlignment);
    Put16(out, opt + 40, 4);  // operating system version 4.0
    Put16(out, opt + 48, 4);  // subsystem version 4.0
    Put32(out, opt + 56,
          AlignUp(kResourceRva + std::max<uint32_t>(resourceSize, 1),
                  kSectionAlignment));  // size of image
    Put32(out, opt + 60, headersSize);
    Put16(out, opt + 68, 2);  // GUI subsystem
    const size_t stack = opt + 72;
    if (plus_) {
        Put64(out, stack, 0x100000);
        Put64(out, stack + 8, 0x1000);
        Put64(out, stack + 16, 0x100000);
        Put64(out, stack + 24, 0x1000);
    } else {
        Put32(out, stack, 0x100000);
        Put32(out, stack + 4, 0x1000);
        Put32(out, stack + 8, 0x100000);
        Put32(out, stack + 12, 0x1000);
    }
    const size_t count = opt + (plus_ ? 108 : 92);
    Put32(out, count, 16);  // data directories
    if (resourceDirectory_) {
        Put32(out, count + 4 + 2 * 8, kResourceRva);
        Put32(out, count + 4 + 2 * 8 + 4, resourceSize);
    }

    // Section table: code, then resources.
    const size_t sections = opt + optionalSize;
    auto section = [&](size_t at, const char* name, uint32_t virtualSize, uint32_t rva,
                       uint32_t rawSize, uint32_t rawAt, uint32_t flags) {
        for (size_t i = 0; name[i] != 0; ++i)
            out[at + i] = static_cast<uint8_t>(name[i]);
        Put32(out, at + 8, virtualSize);
        Put32(out, at + 12, rva);
        Put32(out, at + 16, rawSize);
        Put32(out, at + 20, rawAt);
        Put32(out, at + 36, flags);
    };
    section(sections, ".text", 1, kCodeRva, codeSize, codeAt, 0x60000020);
    section(sections + 40, ".rsrc", std::max<uint32_t>(resourceSize, 1), kResourceRva, resourceRaw,
            resourceAt, 0x40000040);

    out[codeAt] = 0xC3;  // ret
    std::copy(resources.begin(), resources.end(), out.begin() + resourceAt);

    layout = Layout{pe, opt, sections, resourceAt, kResourceRva, resourceSize};
    return out;
}

std::vector<uint8_t> WithTrailerArchive(std::vector<uint8_t> program,
                                        const std::vector<uint8_t>& archive) {
    const auto start = static_cast<uint32_t>(program.size());
    program.insert(program.end(), archive.begin(), archive.end());
    for (int i = 0; i < 4; ++i)
        program.push_back(static_cast<uint8_t>(start >> (8 * i)));
    program.push_back('k');
    program.push_back('v');
    return program;
}

}  // namespace kivo::test
