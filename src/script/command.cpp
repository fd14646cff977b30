#include "script/command.h"

#include <array>
#include <cstring>
#include <type_traits>

#include "base/error.h"
#include "script/cabinet_commands.h"
#include "script/component_command.h"
#include "script/flow_commands.h"
#include "script/media_commands.h"
#include "script/menu_commands.h"
#include "script/object_commands.h"
#include "script/save_commands.h"
#include "script/text_commands.h"

namespace kivo {

void TCommand::Load(CommandRecord& record) {
    continueFlag_ = record.Continues();
    disabled_ = record.IsDisabled();
    line_ = record.line;
    indent_ = record.indent;
}

namespace {

using CommandFactory = std::unique_ptr<TCommand> (*)(CommandCode);

template <typename T>
std::unique_ptr<TCommand> Make(CommandCode code) {
    if constexpr (std::is_constructible_v<T, CommandCode>) {
        return std::make_unique<T>(code);
    } else {
        return std::make_unique<T>();
    }
}

// The class of each command, by type code.
constexpr std::array<CommandFactory, kCommandCount> kCommandClasses = {
    Make<TComIf>,          // If
    Make<TComElseif>,      // Elseif
    Make<TComElse>,        // Else
    Make<TComLabel>,       // Label
    Make<TComJump>,        // Jump
    Make<TComCall>,        // Call
    Make<TComExit>,        // Exit
    Make<TComWait>,        // Wait
    Make<TComControl>,     // BoxNew
    Make<TComControl>,     // ImgNew
    Make<TComControl>,     // MesNew
    Make<TComComponent>,   // Timer
    Make<TComControl>,     // Movie
    Make<TComFlip>,        // Flip
    Make<TComCalc>,        // Calc
    Make<TComVarNew>,      // VarNew
    Make<TComVarDel>,      // VarDel
    Make<TComGetProp>,     // GetProp
    Make<TComSetProp>,     // SetProp
    Make<TComObjDel>,      // ObjDel
    Make<TComTextIns>,     // TextIns
    Make<TComMovieStop>,   // MovieStop
    Make<TComClrHist>,     // ClrHist
    Make<TComControl>,     // Cinema
    Make<TComControl>,     // Caption
    Make<TComControl>,     // Menu
    Make<TComMenuClose>,   // MenuClose
    Make<TComComment>,     // Comment
    Make<TComTextClr>,     // TextClr
    Make<TComCallHist>,    // CallHist
    Make<TComControl>,     // Button
    Make<TComWhile>,       // While
    Make<TComWhileInit>,   // WhileInit
    Make<TComWhileLoop>,   // WhileLoop
    Make<TComBreak>,       // Break
    Make<TComContinue>,    // Continue
    Make<TComControl>,     // ParticleNew
    Make<TComControl>,     // FireNew
    Make<TComGameSave>,    // GameSave
    Make<TComGameLoad>,    // GameLoad
    Make<TComPCReset>,     // PCReset
    Make<TComReset>,       // Reset
    Make<TComComponent>,   // Sound
    Make<TComControl>,     // EditNew
    Make<TComControl>,     // MemoNew
    Make<TComTerminate>,   // Terminate
    Make<TComDoEvent>,     // DoEvent
    Make<TComClrRead>,     // ClrRead
    Make<TComControl>,     // MapImgNew
    Make<TComControl>,     // WaveNew
    Make<TComControl>,     // TileNew
    Make<TComControl>,     // SliderNew
    Make<TComControl>,     // ScrollbarNew
    Make<TComControl>,     // GaugeNew
    Make<TComControl>,     // CGCaption
    Make<TComMediaPlay>,   // MediaPlay
    Make<TComControl>,     // PrevMenuNew
    Make<TComPropMotion>,  // PropMotion
    Make<TComEntryHist>,   // FormatHist
    Make<TComCabinetSave>, // SaveCabinet
    Make<TComCabinetLoad>, // LoadCabinet
};

}  // namespace

std::unique_ptr<TCommand> CreateCommand(CommandRecord& record) {
    int code = record.typeByte & 0x7F;
    if (code >= kCommandCount) throw KivoError("不正なコマンド");
    std::unique_ptr<TCommand> command = kCommandClasses[static_cast<size_t>(code)](record.Code());
    command->Load(record);
    return command;
}

void WriteRunningStateSignature(ByteWriter& writer) {
    writer.WriteBytes({reinterpret_cast<const uint8_t*>(kRunningStateSignature.data()),
                       kRunningStateSignature.size()});
}

int32_t ReadRunningStateVersion(ByteReader& reader) {
    size_t start = reader.Position();
    if (reader.Remaining() >= kRunningStateSignature.size()) {
        std::span<const uint8_t> signature = reader.ReadBytes(kRunningStateSignature.size());
        if (std::memcmp(signature.data(), "kivo", 4) == 0) {
            int32_t version = 0;
            for (size_t i = 4; i < signature.size(); ++i) {
                if (signature[i] < '0' || signature[i] > '9') return 0;
                version = version * 10 + (signature[i] - '0');
            }
            return version;
        }
    }
    reader.Seek(start);
    return 0;
}

}  // namespace kivo
