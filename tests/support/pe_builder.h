#pragma once
// Fixture writer for Windows programs: a minimal valid PE file (32-bit, or 64-bit with
// Plus()) with a code section and a resource section, laid out by hand field by field. The
// resource directory has the usual three levels (type, name, language); types and names are
// strings or numeric ids.
//
//   auto exe = PeBuilder().Resource("BINTYPE", "DUMMY", archive).IdResource(3, 1, icon).Bytes();

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kivo::test {

class PeBuilder {
  public:
    using Key = std::variant<std::string, uint16_t>;

    struct Layout {
        size_t peHeader = 0;        // "PE\0\0"
        size_t optionalHeader = 0;  // the optional header's magic
        size_t sectionTable = 0;
        size_t resourceSection = 0;  // file offset of the resource directory's root
        uint32_t resourceRva = 0;
        size_t resourceSize = 0;
    };

    PeBuilder& Plus(bool plus = true);
    PeBuilder& Resource(std::string type, std::string name, std::vector<uint8_t> data);
    PeBuilder& IdResource(uint16_t type, uint16_t id, std::vector<uint8_t> data);
    // Leaves the resource data directory empty: a program without resources.
    PeBuilder& NoResourceDirectory();

    [[nodiscard]] std::vector<uint8_t> Bytes() const;
    // Where the parts lie in Bytes(), for tests that damage them.
    [[nodiscard]] Layout Where() const;

  private:
    struct Item {
        Key type;
        Key name;
        std::vector<uint8_t> data;
    };
    [[nodiscard]] std::vector<uint8_t> Build(Layout& layout) const;

    bool plus_ = false;
    bool resourceDirectory_ = true;
    std::vector<Item> items_;
};

// The program with an archive appended after it, followed by the trailer: the archive's
// start offset (int32) and "kv".
[[nodiscard]] std::vector<uint8_t> WithTrailerArchive(std::vector<uint8_t> program,
                                                      const std::vector<uint8_t>& archive);

}  // namespace kivo::test
