#include "script/page.h"

namespace kivo {

TPage::TPage(std::string name, PageFile&& file)
    : name_(std::move(name)), version_(file.version), resultType_(file.resultType) {
    if (!file.IsParsed()) return;
    masks_ = file.Masks();
    commands_.reserve(file.commands.size());
    for (CommandRecord& record : file.commands)
        commands_.push_back(CreateCommand(record));
}

int32_t TPage::IndexOfLabel(std::string_view label) const {
    for (int32_t i = 0; i < Count(); ++i) {
        if (commands_[static_cast<size_t>(i)]->MatchesLabel(label)) return i;
    }
    return -1;
}

}  // namespace kivo
