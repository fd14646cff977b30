#include "script/item_functions.h"

#include "script/function_registry.h"
#include "script/param.h"
#include "script/script_context.h"
#include "script/vocabulary.h"

namespace kivo {

namespace {

using ItemFlag = SceneCommands::ItemFlag;

ObjectHandle ObjectArgument(const FunctionCall& call) {
    return call.Context().scene.FindByName(call.arguments[0]->AsString());
}

// The index as the scene reads it: a string as written, any other value as its integer.
std::string IndexArgument(const FunctionCall& call) {
    const TCustomParam& index = *call.arguments[1];
    return index.Type() == PT_STR ? index.AsString() : std::to_string(index.AsInteger());
}

template <ItemFlag Flag>
void GetItemFlag(const FunctionCall& call) {
    call.target.SetFlag(
        call.Context().scene.ItemFlagOf(ObjectArgument(call), IndexArgument(call), Flag));
}

template <ItemFlag Flag>
void SetItemFlag(const FunctionCall& call) {
    call.Context().scene.SetItemFlag(ObjectArgument(call), IndexArgument(call), Flag,
                                     call.arguments[2]->AsFlag());
}

}  // namespace

void RegisterItemFunctions(SystemFunctionRegistry& registry) {
    registry.Register(*FunctionIndex("GetEnabled"), GetItemFlag<ItemFlag::Enabled>);
    registry.Register(*FunctionIndex("SetEnabled"), SetItemFlag<ItemFlag::Enabled>);
    registry.Register(*FunctionIndex("GetVisible"), GetItemFlag<ItemFlag::Visible>);
    registry.Register(*FunctionIndex("SetVisible"), SetItemFlag<ItemFlag::Visible>);
}

}  // namespace kivo
