#pragma once
// Fixture writer for saved variable lists (the game list of a saved game and the status
// list). It lays out every record by hand, so that the readers are not checked against the
// player's own writer.
//
//   VariableListBuilder list;
//   list.Int("score", {7}).Str("names", {"a", "b", "c", "d"}, {2, 2}).Ref("alias", "score");
//   std::vector<uint8_t> save = list.GameBytes(134);

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "page_builder.h"

namespace kivo::test {

// A stored value: its dimensions (none for a single value), element count and elements.
[[nodiscard]] std::vector<uint8_t> IntValue(const std::vector<int32_t>& values,
                                            const std::vector<int32_t>& dims = {});
[[nodiscard]] std::vector<uint8_t> FloatValue(const std::vector<double>& values,
                                              const std::vector<int32_t>& dims = {});
[[nodiscard]] std::vector<uint8_t> FlagValue(const std::vector<bool>& values,
                                             const std::vector<int32_t>& dims = {});
[[nodiscard]] std::vector<uint8_t> StrValue(const std::vector<std::string>& values,
                                            const std::vector<int32_t>& dims = {});

// Value type bytes of the streams: 0 marks a reference.
enum StoredType : uint8_t {
    kRefType = 0,
    kIntType = 1,
    kFloatType = 2,
    kFlagType = 3,
    kStrType = 4
};

// Where a variable lives: the flags and level written after its value.
struct VariablePlace {
    uint8_t status = 0;
    uint8_t local = 0;
    int32_t level = 0;
    uint8_t reserved = 0;
};

class VariableListBuilder {
  public:
    // Values of one element take no dimensions; arrays give theirs (the values fill them).
    VariableListBuilder& Int(std::string_view name, const std::vector<int32_t>& values,
                             const std::vector<int32_t>& dims = {}, VariablePlace place = {});
    VariableListBuilder& Float(std::string_view name, const std::vector<double>& values,
                               const std::vector<int32_t>& dims = {}, VariablePlace place = {});
    VariableListBuilder& Flag(std::string_view name, const std::vector<bool>& values,
                              const std::vector<int32_t>& dims = {}, VariablePlace place = {});
    VariableListBuilder& Str(std::string_view name, const std::vector<std::string>& values,
                             const std::vector<int32_t>& dims = {}, VariablePlace place = {});
    // A reference to element `element` of `target` (empty: unbound).
    VariableListBuilder& Ref(std::string_view name, std::string_view target, int32_t element = 0,
                             VariablePlace place = {});

    // The settings a game list ends with; each is written from the save version that added it.
    VariableListBuilder& TextDelay(int32_t delay);
    VariableListBuilder& Cursor(std::string_view name);
    VariableListBuilder& Selection(std::string_view text, int32_t index);
    VariableListBuilder& BacklogFormat(const std::array<int32_t, 6>& values);
    VariableListBuilder& TempAlias(std::string_view name);

    // The records as a game list of the given save version, settings included.
    [[nodiscard]] std::vector<uint8_t> GameBytes(int32_t saveVersion) const;
    // The records alone, as the status list stores them.
    [[nodiscard]] std::vector<uint8_t> StatusBytes() const;

  private:
    VariableListBuilder& Record(uint8_t type, std::string_view name,
                                const std::vector<uint8_t>& value, VariablePlace place);

    int32_t count_ = 0;
    ByteBuilder records_;
    int32_t textDelay_ = 50;
    std::string cursor_;
    std::string selection_;
    int32_t selectionIndex_ = 0;
    std::array<int32_t, 6> backlogFormat_{};
    std::string tempAlias_;
};

}  // namespace kivo::test
