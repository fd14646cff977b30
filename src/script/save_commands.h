#pragma once
// GameSave and GameLoad: both record a request that the frame step serves at the end of the
// frame, and the script goes on with the next command.

#include <cstdint>
#include <string>

#include "script/command.h"
#include "script/expression.h"

namespace kivo {

class TComGameSave : public TCommand {
  public:
    TComGameSave() : TCommand(CommandCode::GameSave) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser slot_;
    TKivoParser caption_;
    std::string resumePage_;
    int32_t resumeIndex_ = 0;
};

class TComGameLoad : public TCommand {
  public:
    TComGameLoad() : TCommand(CommandCode::GameLoad) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser slot_;
};

}  // namespace kivo
