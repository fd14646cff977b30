#pragma once
// The commands of message windows and the backlog: TextIns shows the text stored in the
// command in a window (and may wait until the window has revealed it), TextClr empties a
// window, CallHist shows part of the backlog in one, ClrHist and ClrRead forget the backlog
// and the read marks, FormatHist gives the backlog a window's layout. They reach the scene
// only through SceneCommands::Messages.

#include <cstdint>
#include <string>

#include "scene/object_handle.h"
#include "script/command.h"

namespace kivo {

// TextIns text object readMark wait eventsBlocked: the window refers to this command by page
// and index rather than copying its text.
class TComTextIns : public TCommand {
  public:
    TComTextIns() : TCommand(CommandCode::TextIns) {}
    void Load(CommandRecord& record) override;
    void Begin(TCallMan& man) override;
    void Execute(TCallMan& man) override;
    [[nodiscard]] bool BlocksEvents() const override { return eventsBlocked_; }
    [[nodiscard]] bool IsWaitPoint() const override { return wait_; }
    void SaveRunningState(ByteWriter& writer) const override;
    void RestoreRunningState(ByteReader& reader) override;

  private:
    bool hasText_ = false;
    TKivoParser object_;
    TKivoParser readMark_;
    TKivoParser waitExpr_;
    TKivoParser eventsBlockedExpr_;
    // Running state: the window waited on, looked up again every frame through its handle
    // (it may be deleted while the command waits) and by name in saved games.
    ObjectHandle window_;
    std::string windowName_;
    bool wait_ = false;
    bool eventsBlocked_ = false;
};

// TextClr object.
class TComTextClr : public TCommand {
  public:
    TComTextClr() : TCommand(CommandCode::TextClr) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
};

// CallHist object start count flag.
class TComCallHist : public TCommand {
  public:
    TComCallHist() : TCommand(CommandCode::CallHist) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
    TKivoParser start_;
    TKivoParser count_;
    TKivoParser flag_;
};

// ClrHist and ClrRead.
class TComClrHist : public TCommand {
  public:
    TComClrHist() : TCommand(CommandCode::ClrHist) {}
    void Execute(TCallMan& man) override;
};

class TComClrRead : public TCommand {
  public:
    TComClrRead() : TCommand(CommandCode::ClrRead) {}
    void Execute(TCallMan& man) override;
};

// FormatHist object.
class TComEntryHist : public TCommand {
  public:
    TComEntryHist() : TCommand(CommandCode::FormatHist) {}
    void Load(CommandRecord& record) override;
    void Execute(TCallMan& man) override;

  private:
    TKivoParser object_;
};

}  // namespace kivo
