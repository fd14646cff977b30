#include "script/menu_commands.h"

#include "script/call_man.h"
#include "script/object_commands.h"
#include "script/script_context.h"

namespace kivo {

namespace {

// The play state of a close that runs the closing animation.
constexpr int32_t kCloseAnimated = 3;

}  // namespace

void TComMenuClose::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
}

void TComMenuClose::Execute(TCallMan& man) {
    ++man.State().pc;
    const ObjectHandle object = FindNamed(man, object_);
    if (!object.IsNull()) man.Context().scene.SetPlayState(object, kCloseAnimated);
}

}  // namespace kivo
