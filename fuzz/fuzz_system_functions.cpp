// Random calls of every system function with random arguments: constants of each type and
// variables of each type, single or arrays, as the evaluator passes them. Any call may fail
// with KivoError; none may crash, hang or touch memory it does not own.
#include <bit>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/error.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/trace_sink.h"
#include "platform/url_opener.h"
#include "scene/scene_commands.h"
#include "script/function_registry.h"
#include "script/media_port.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "script/save_port.h"
#include "script/script_context.h"
#include "script/system_functions.h"
#include "storage/db_manager.h"
#include "storage/tp_random.h"

namespace {

class StillClock final : public kivo::Clock {
  public:
    [[nodiscard]] uint32_t NowMs() override { return 0; }
    void SleepMs(uint32_t) override {}
};

class StillCalendar final : public kivo::Calendar {
  public:
    [[nodiscard]] kivo::CalendarTime Now() override { return {}; }
};

// One file, "a.txt", and a call stack of two frames.
class FakeInterpreter final : public kivo::InterpreterPort {
  public:
    [[nodiscard]] bool FileExists(std::string_view name) override { return name == "a.txt"; }
    [[nodiscard]] bool FileAvailable(std::string_view name) override { return FileExists(name); }
    [[nodiscard]] std::vector<uint8_t> LoadFile(std::string_view name) override {
        if (!FileExists(name)) throw kivo::KivoError("missing");
        return {'a', '\r', 'b', '\n', 0x83};
    }
    bool DeleteStackFrame(int32_t n) override { return n >= 0 && n < 2; }
};

struct World {
    World() { kivo::RegisterSystemFunctions(functions); }

    kivo::PlayerState player;
    StillClock clock;
    StillCalendar calendar;
    kivo::TProcessRandom random{7};
    kivo::NullSceneCommands scene;
    kivo::NullMediaPort media;
    kivo::NullSavePort saves;
    kivo::NullTraceSink trace;
    kivo::TracedUrlOpener urls{trace};
    FakeInterpreter interpreter;
    kivo::TDBManager tables;
    kivo::ScriptContext context{player, clock, calendar, random,  scene,
                                media,  saves, urls,     &tables, &interpreter};
    kivo::SystemFunctionRegistry functions;
};

// Variables the calls may name: each type single and as a 2 x 3 array.
void DeclareVariables(kivo::TParamCollection& vars) {
    const char* names[] = {"i", "f", "b", "s", "ia", "fa", "ba", "sa"};
    const kivo::ValueType types[] = {kivo::PT_INT, kivo::PT_FLOAT, kivo::PT_BOOL, kivo::PT_STR};
    const int32_t dims[] = {2, 3};
    for (int k = 0; k < 8; ++k) {
        kivo::TCustomParam& value = vars.Create(names[k], types[k % 4]).Value();
        if (k >= 4) value.SetDimensions(dims);
        value.SetString("1");
    }
}

std::unique_ptr<kivo::TCustomParam> ReadArgument(kivo::ByteReader& reader,
                                                 kivo::TParamCollection& vars) {
    const uint8_t kind = reader.ReadU8();
    switch (kind % 6) {
        case 0: {
            auto value = kivo::CreateParam(kivo::PT_INT);
            value->SetInteger(reader.ReadI32());
            return value;
        }
        case 1: {
            auto value = kivo::CreateParam(kivo::PT_FLOAT);
            // Any double, NaN and infinities included.
            const uint64_t bits = uint64_t{reader.ReadU32()} << 32 | reader.ReadU32();
            value->SetFloat(std::bit_cast<double>(bits));
            return value;
        }
        case 2: {
            auto value = kivo::CreateParam(kivo::PT_BOOL);
            value->SetFlag(reader.ReadU8() & 1);
            return value;
        }
        case 3: {
            auto value = kivo::CreateParam(kivo::PT_STR);
            const uint8_t length = reader.ReadU8();
            std::string text;
            for (uint8_t i = 0; i < length; ++i)
                text.push_back(static_cast<char>(reader.ReadU8()));
            value->SetString(text);
            return value;
        }
        default: {
            const char* names[] = {"i",  "f",  "b",  "s",     "ia",        "fa",
                                   "ba", "sa", "none", "@Temp", "@KeyPush", "@ParamStr"};
            const char* name = names[reader.ReadU8() % std::size(names)];
            auto reference = std::make_unique<kivo::TParamVar>(name);
            if (kivo::TParamCollectionItem* variable = vars.Find(name)) reference->Bind(*variable, 0);
            return reference;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    kivo::TParamCollection vars;
    DeclareVariables(vars);
    kivo::ByteReader reader(std::span<const uint8_t>(data, size), "fuzz");
    // Several calls in a row, so that one call sees what an earlier one left behind.
    for (int call = 0; call < 8; ++call) {
        try {
            const int32_t index = reader.ReadU8() % kivo::kFunctionCount;
            const int count = reader.ReadU8() % 8;
            std::vector<std::unique_ptr<kivo::TCustomParam>> owned;
            std::vector<kivo::TCustomParam*> arguments;
            for (int i = 0; i < count; ++i) {
                owned.push_back(ReadArgument(reader, vars));
                arguments.push_back(owned.back().get());
            }
            auto target = kivo::CreateParam(kivo::FindFunction(index)->result);
            const kivo::ScriptContext* context = (index & 1) ? &world.context : nullptr;
            world.functions.Call(
                kivo::FunctionCall{index, *target, arguments, vars, world.functions, context});
            (void)target->AsString();
        } catch (const kivo::KivoError&) {
        }
        if (reader.AtEnd()) break;
    }
    if (vars.calcNesting != 0) __builtin_trap();
    return 0;
}
