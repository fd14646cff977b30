#include "script/save_functions.h"

#include <array>

#include "script/function_arguments.h"
#include "script/script_context.h"

namespace kivo {

namespace {

// GetSaveCaption(slot): the caption of the game saved in slot, empty when none.
void GetSaveCaption(const FunctionCall& call) {
    call.target.SetString(call.Context().saves.CaptionOf(IntArgument(call, 0)));
}

// ListSaveCaption([var captions [, var slots]]): the number of saved games; the variables
// become one-dimensional arrays of the captions and of the slots, in the caption list's order.
void ListSaveCaption(const FunctionCall& call) {
    const std::vector<SaveCaption> captions = call.Context().saves.Captions();
    const auto count = static_cast<int32_t>(captions.size());
    const std::array<int32_t, 1> size{count};
    if (HasArgument(call, 0)) {
        TCustomParam& texts = VariableArgument(call, 0);
        texts.SetDimensions(size);
        for (int32_t i = 0; i < count; ++i)
            texts.SetStringAt(i, captions[static_cast<size_t>(i)].caption);
    }
    if (HasArgument(call, 1)) {
        TCustomParam& slots = VariableArgument(call, 1);
        slots.SetDimensions(size);
        for (int32_t i = 0; i < count; ++i)
            slots.SetIntAt(i, captions[static_cast<size_t>(i)].slot);
    }
    call.target.SetInteger(count);
}

}  // namespace

void RegisterSaveFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"GetSaveCaption", GetSaveCaption},
                                    {"ListSaveCaption", ListSaveCaption},
                                });
}

}  // namespace kivo
