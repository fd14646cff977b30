#pragma once
// The commands of text menus beyond their creation (the Menu command is a creating command and
// opens the menu it makes once its properties are written).

#include "script/command.h"

namespace kivo {

// MenuClose object: the menu closes with its animation and raises its closing events.
class TComMenuClose : public TCommand {
  public:
    TComMenuClose() : TCommand(CommandCode::MenuClose) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
};

}  // namespace kivo
