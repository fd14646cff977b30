#include "script/save_commands.h"

#include "script/call_man.h"

namespace kivo {

void TComGameSave::Load(CommandRecord& record) {
    TCommand::Load(record);
    slot_ = TakeField<TKivoParser>(record, "slot");
    resumePage_ = TakeField<std::string>(record, "page");
    resumeIndex_ = TakeField<int32_t>(record, "index");
    caption_ = TakeField<TKivoParser>(record, "caption");
}

void TComGameSave::Execute(TCallMan& man) {
    ++man.State().pc;
    const std::optional<int32_t> slot = man.EvaluateInt(slot_);
    const ExpressionResult caption = man.Evaluate(caption_);
    if (!slot || !caption) return;
    man.Context().saves.RequestSave(*slot, caption->AsString(), resumePage_, resumeIndex_);
}

void TComGameLoad::Load(CommandRecord& record) {
    TCommand::Load(record);
    slot_ = TakeField<TKivoParser>(record, "slot");
}

void TComGameLoad::Execute(TCallMan& man) {
    ++man.State().pc;
    if (const std::optional<int32_t> slot = man.EvaluateInt(slot_))
        man.Context().saves.RequestLoad(*slot);
}

}  // namespace kivo
