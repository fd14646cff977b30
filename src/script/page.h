#pragma once
// A scenario page at run time: the name it was loaded under, its format version, the type of
// its @Result, the property masks of its component commands and its command list.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "script/command.h"
#include "script/page_file.h"

namespace kivo {

class TPage {
  public:
    // An empty page with the defaults of a new page.
    TPage() = default;
    explicit TPage(std::string name) : name_(std::move(name)) {}
    // The runnable page of a read page file: every record becomes its command. A page of a
    // version the player does not run keeps no commands.
    TPage(std::string name, PageFile&& file);

    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] int32_t Version() const { return version_; }
    [[nodiscard]] uint8_t ResultType() const { return resultType_; }
    [[nodiscard]] const PropertyMasks& Masks() const { return masks_; }

    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(commands_.size()); }
    [[nodiscard]] bool Contains(int32_t pc) const { return pc >= 0 && pc < Count(); }
    [[nodiscard]] TCommand& Command(int32_t pc) const {
        return *commands_[static_cast<size_t>(pc)];
    }
    // The first command that matches the label name exactly, or -1.
    [[nodiscard]] int32_t IndexOfLabel(std::string_view label) const;

  private:
    std::string name_;
    int32_t version_ = kNewPageVersion;
    uint8_t resultType_ = PT_INT;
    PropertyMasks masks_;
    TComList commands_;
};

}  // namespace kivo
