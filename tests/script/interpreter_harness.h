#pragma once
// A player without a window for interpreter tests: the player state, a file manager over
// memory entries, the variable table, the event queue, and dialogs and a trace that record
// what they were given. Games are built with the page and project fixture writers.

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/headless/headless_platform.h"
#include "platform/trace_sink.h"
#include "scene/object_handle.h"
#include "scene/timer_list.h"
#include "script/function_registry.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/script_context.h"
#include "storage/db_manager.h"
#include "storage/vr_file_manager.h"
#include "support/page_builder.h"
#include "support/project_builder.h"
#include "support/recording_trace.h"

namespace kivo::test {

struct ShownDialog {
    std::string text;
    std::string caption;
    DialogIcon icon;
    DialogButtons buttons;
};

class RecordingDialogs final : public MessageDialogs {
  public:
    DialogAnswer Show(std::string_view text, std::string_view caption, DialogIcon icon,
                      DialogButtons buttons) override {
        shown.push_back({std::string(text), std::string(caption), icon, buttons});
        if (answers.empty()) return DefaultAnswer(buttons);
        DialogAnswer answer = answers.front();
        answers.pop_front();
        return FitAnswer(answer, buttons);
    }
    bool Unattended() override { return answers.empty(); }

    std::vector<ShownDialog> shown;
    std::deque<DialogAnswer> answers;  // then OK/Yes
};

// A scene of named objects (senders, lookups by name), removable; every other scene command
// does nothing.
class FakeObjects final : public NullSceneCommands {
  public:
    ObjectHandle Add(std::string name) {
        names_.push_back(std::move(name));
        alive_.push_back(true);
        return {static_cast<uint32_t>(names_.size() - 1), 1};
    }
    void Remove(ObjectHandle handle) { alive_[handle.slot] = false; }

    [[nodiscard]] std::optional<std::string> NameOf(ObjectHandle handle) const override {
        if (handle.IsNull() || handle.slot >= names_.size() || !alive_[handle.slot]) return {};
        return names_[handle.slot];
    }
    [[nodiscard]] ObjectHandle FindByName(std::string_view name) const override {
        // As in the scene root, the empty name finds the active layer.
        if (name.empty()) return kActiveLayer;
        for (size_t i = 0; i < names_.size(); ++i) {
            if (alive_[i] && names_[i] == name) return {static_cast<uint32_t>(i), 1};
        }
        return {};
    }

    static constexpr ObjectHandle kActiveLayer{UINT32_MAX, 1};

  private:
    std::vector<std::string> names_;
    std::vector<bool> alive_;
};

class Harness {
  public:
    Harness() {
        (void)files.AddArchive("");
        player.quitSignal = &trace.runaway;
    }

    void AddFile(std::string_view name, const std::vector<uint8_t>& bytes) {
        files.MemoryCollection().AddMemoryEntry(std::string(name)).memory->Assign(bytes);
    }
    void AddPage(std::string_view name, const PageBuilder& page) { AddFile(name, page.Bytes()); }
    // A project whose start page is start.ksb, and that page.
    void AddGame(const PageBuilder& start, ProjectBuilder projectFile = ProjectBuilder()) {
        AddFile("kivo.kpb", projectFile.Bytes());
        AddPage("start.ksb", start);
    }

    TProject& Open(bool hasArguments = true) {
        const ScriptContext world{player, clock, calendar, random, objects,
                                  media,  saves, urls,     &tables};
        ProjectServices services{player, files, variables,    functions,        events,  dialogs,
                                 trace,  world, hasArguments, executableFolder, &objects};
        project = std::make_unique<TProject>(services);
        return *project;
    }

    // One frame step as the shell runs it, with a frame delta of ms.
    void Frame(int32_t ms = 16) {
        player.gameClock += ms;
        player.frameDelta = ms;
        project->RunFrame();
        ++player.frameCounter;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            Frame();
    }

    void Post(std::string handler, ObjectHandle sender = {},
              std::vector<std::string> arguments = {}) {
        TTimerData entry;
        entry.handler = std::move(handler);
        entry.sender = sender;
        entry.kind = 33;
        entry.arguments = std::move(arguments);
        events.Post(std::move(entry));
    }

    [[nodiscard]] TCallMan& Interpreter() const { return *project->Interpreter(); }
    [[nodiscard]] InterpreterState& State() const { return Interpreter().State(); }
    [[nodiscard]] bool Has(std::string_view name) const { return variables.Find(name) != nullptr; }
    [[nodiscard]] int32_t Int(std::string_view name) const {
        TParamCollectionItem* variable = variables.Find(name);
        return variable ? variable->Value().AsInteger() : -999;
    }
    [[nodiscard]] std::string Str(std::string_view name) const {
        TParamCollectionItem* variable = variables.Find(name);
        return variable ? variable->Value().AsString() : "<none>";
    }

    PlayerState player;
    HeadlessClock clock;
    ClockCalendar calendar{clock, DefaultHeadlessDate()};
    TProcessRandom random{1};
    NullMediaPort media;
    NullSavePort saves;
    TDBManager tables;
    TVrFileManager files;
    TParamCollection variables{&player, &clock, &calendar};
    SystemFunctionRegistry functions;
    TTimerList events;
    RecordingDialogs dialogs;
    RecordingTrace trace;
    TracedUrlOpener urls{trace};
    FakeObjects objects;
    std::filesystem::path executableFolder = "/nonexistent-kivo-test-folder";
    std::unique_ptr<TProject> project;
};

}  // namespace kivo::test
