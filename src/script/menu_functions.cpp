#include "script/menu_functions.h"

#include <algorithm>

#include "scene/kivo_custom_list_box.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/script_context.h"
#include "script/vocabulary.h"

namespace kivo {

namespace {

ObjectHandle MenuArgument(const FunctionCall& call) {
    return call.Context().scene.FindByName(call.arguments[0]->AsString());
}

// GetCheck(object, index).
void GetCheck(const FunctionCall& call) {
    call.target.SetFlag(
        call.Context().scene.ItemChecked(MenuArgument(call), call.arguments[1]->AsInteger()));
}

// SetCheck(object, index, on): no result.
void SetCheck(const FunctionCall& call) {
    call.Context().scene.SetItemChecked(MenuArgument(call), call.arguments[1]->AsInteger(),
                                        call.arguments[2]->AsFlag());
}

[[nodiscard]] bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// IndexOfMenu(object, item): the index of the first item of the object's text equal to item
// without regard to ASCII case, -1 when none.
void IndexOfMenu(const FunctionCall& call) {
    call.target.SetInteger(-1);
    const ObjectHandle object = MenuArgument(call);
    if (object.IsNull()) return;
    const std::unique_ptr<TCustomParam> text = CreateParam(PT_STR);
    if (!call.Context().scene.ReadProperty(object, PR_TEXT, *text)) return;
    const std::string wanted = call.arguments[1]->AsString();
    const std::vector<std::string> items = TKivoCustomListBox::ItemsOf(text->AsString());
    for (size_t i = 0; i < items.size(); ++i) {
        if (SameIgnoringAsciiCase(items[i], wanted)) {
            call.target.SetInteger(static_cast<int32_t>(i));
            return;
        }
    }
}

}  // namespace

void RegisterMenuFunctions(SystemFunctionRegistry& registry) {
    registry.Register(*FunctionIndex("GetCheck"), GetCheck);
    registry.Register(*FunctionIndex("SetCheck"), SetCheck);
    registry.Register(*FunctionIndex("IndexOfMenu"), IndexOfMenu);
}

}  // namespace kivo
