#include "script/component_command.h"

#include "script/call_man.h"

namespace kivo {

void TComNotBuilt::Load(CommandRecord& record) {
    TCommand::Load(record);
    fields_ = std::move(record.fields);
}

void TComNotBuilt::Execute(TCallMan& man) {
    ++man.State().pc;
}

}  // namespace kivo
