#pragma once
// What the text commands (TextIns, TextClr, CallHist, ClrHist, ClrRead, FormatHist) ask of
// the scene: message windows by handle, the backlog and the read marks. The scene root
// implements it; SceneCommands::Messages hands it out (null where no scene shows text). Main
// thread only, called while commands run.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "scene/object_handle.h"

namespace kivo {

class MessageCommands {
  public:
    virtual ~MessageCommands() = default;

    // Whether the object is a message window.
    [[nodiscard]] virtual bool IsMessageWindow(ObjectHandle window) const = 0;
    // TextIns: the window shows the text record at command of the page file from its first
    // page; with readMarks its pages enter the backlog and the read marks.
    virtual void ShowRecord(ObjectHandle window, std::string_view pageFile, int32_t command,
                            bool readMarks) = 0;
    // Whether the window still has text to reveal on its page; false once it is gone.
    [[nodiscard]] virtual bool Revealing(ObjectHandle window) const = 0;
    // TextClr.
    virtual void ClearText(ObjectHandle window) = 0;
    // @HistoryCount: backlog entries, or pixels once the backlog has a format.
    [[nodiscard]] virtual int32_t HistorySize() const = 0;
    // CallHist, start and count already clamped.
    virtual void ShowHistory(ObjectHandle window, int32_t start, int32_t count, bool compact) = 0;
    // ClrHist and ClrRead.
    virtual void ClearHistory() = 0;
    virtual void ClearReadMarks() = 0;
    // FormatHist: the window's font height, border width, shadow width, width, height and line
    // spacing; nothing when it is no message window.
    [[nodiscard]] virtual std::optional<std::array<int32_t, 6>> HistoryFormatOf(
        ObjectHandle window) const = 0;
};

}  // namespace kivo
