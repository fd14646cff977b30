// Saved games and the status data in save.dat: the entries' layout, the versions that load and
// what each leaves out, the resume page, the caption list, and what failures leave behind.

#include <gtest/gtest.h>

#include <sstream>

#include "base/error.h"
#include "scene/gale_collection.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"
#include "script/call_man.h"
#include "script/interpreter_harness.h"
#include "script/save_manager.h"
#include "support/archive_builder.h"
#include "support/interpreter_state_builder.h"
#include "support/save_entry_builder.h"
#include "support/scratch_folder.h"
#include "support/variable_list_builder.h"

namespace kivo::test {
namespace {

// A scene whose record is a marker and a number, so that tests see where it lies in an entry
// and what version it was read with.
class MarkerScene final : public SaveSection {
  public:
    void Save(ByteWriter& writer) const override {
        writer.WriteI32(kMarker);
        writer.WriteI32(value);
    }
    void Load(ByteReader& reader, int32_t version) override {
        if (reader.ReadI32() != kMarker) reader.Fail("no scene marker");
        value = reader.ReadI32();
        loadedVersion = version;
    }
    static std::vector<uint8_t> Bytes(int32_t value) {
        ByteBuilder out;
        out.I32(kMarker).I32(value);
        return out.Data();
    }

    static constexpr int32_t kMarker = 0x4E454353;  // "SCEN"
    int32_t value = 0;
    int32_t loadedVersion = -1;
};

PageBuilder WaitingStart() {
    PageBuilder page;
    page.Add(Wait("", Int(0)).Continue()).Add(Calc("done = 1").Continue());
    return page;
}

// A running game with its save manager over save.dat in a scratch folder.
struct SaveRig {
    SaveRig() {
        h.AddGame(WaitingStart());
        PageBuilder resume;
        resume.Add(Wait("", Int(0)));
        h.AddPage("resume.ksb", resume);
        h.Open();
        saves.SetInterpreter(&h.Interpreter());
    }
    [[nodiscard]] TSaveManager Another() {
        return TSaveManager(services, TSaveFile(folder / "save.dat"));
    }

    ScratchFolder folder{"kivo_save_manager_test"};
    Harness h;
    MarkerScene scene;
    std::unique_ptr<TKivoNewHistory> history = std::make_unique<TKivoNewHistory>();
    std::unique_ptr<TKivoReadList> marks = std::make_unique<TKivoReadList>();
    std::unique_ptr<TGaleCollection> images = std::make_unique<TGaleCollection>();
    KeeperSaveSection<TKivoNewHistory> backlog{history};
    KeeperSaveSection<TKivoReadList> readMarks{marks};
    KeeperSaveSection<TGaleCollection> dither{images};
    std::ostringstream warnings;
    SaveServices services{h.player, h.variables, h.tables, h.dialogs, scene,
                          backlog,  readMarks,   dither,   warnings};
    TSaveManager saves{services, TSaveFile(folder / "save.dat")};
};

std::vector<uint8_t> Parts(const auto& write) {
    ByteWriter writer;
    write(writer);
    return writer.Take();
}

TEST(SaveManager, EntriesAreLaidOutPartByPart) {
    SaveRig rig;
    rig.h.Frame();
    rig.scene.value = 42;
    (void)rig.h.variables.Create("score", PT_INT);
    (void)rig.h.tables.CreateOrActivate("kept", true);
    (void)rig.h.tables.CreateOrActivate("game", false);
    // One backlog entry and one read mark, each in its owner's own form.
    rig.history->Record({"mes", "start.ksb", 2, 0, 0, -1, 320, 96, {}});
    rig.history->Commit("mes");
    rig.marks->SetPending("mes", "start.ksb", 0, 2);
    rig.marks->Commit("mes");

    const SavedGame game{
        .caption = "第一章",
        .resumePage = "resume.ksb",
        .resumeIndex = 3,
        .scene = MarkerScene::Bytes(42),
        .backlog = Parts([&](ByteWriter& w) { rig.history->Save(w); }),
        .interpreter = Parts([&](ByteWriter& w) { rig.h.Interpreter().SaveState(w); }),
        .variables = Parts([&](ByteWriter& w) { rig.h.variables.SaveGameVariables(w); }),
        .tables = Parts([&](ByteWriter& w) { rig.h.tables.Save(w, false); })};
    const std::vector<uint8_t> entry = rig.saves.GameEntry("第一章", "resume.ksb", 3);
    EXPECT_EQ(entry, WriteGameEntry(game));
    // The backlog comes back with the game; the read marks are no part of it.
    rig.history->Clear();
    rig.marks->Clear();
    rig.saves.RestoreGame(entry, "save.dat");
    ASSERT_EQ(rig.history->Count(), 1);
    EXPECT_EQ(rig.history->Entries()[0].command, 2);
    EXPECT_EQ(rig.marks->FileCount(), 0);
    rig.marks->SetPending("mes", "start.ksb", 0, 2);
    rig.marks->Commit("mes");

    rig.images->SetScreenDepth(true);
    const SavedStatus status{
        .variables = Parts([&](ByteWriter& w) { rig.h.variables.SaveStatusVariables(w); }),
        .readMarks = Parts([&](ByteWriter& w) { rig.marks->Save(w); }),
        .dither = uint8_t{1},
        .tables = Parts([&](ByteWriter& w) { rig.h.tables.Save(w, true); })};
    EXPECT_EQ(rig.saves.StatusEntry(), WriteStatusEntry(status));
}

TEST(SaveManager, GameEntriesLoadFromVersion107To134AndCarryTablesAbove122) {
    const struct {
        int32_t version;
        bool loads;
        bool tablesRead;
    } cases[] = {{106, false, false}, {107, true, false}, {122, true, false},
                 {123, true, true},   {134, true, true},  {135, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        SaveRig rig;
        (void)rig.h.tables.CreateOrActivate("before", false);
        const std::vector<uint8_t> entry = WriteGameEntry(
            {.version = c.version,
             .caption = "c",
             .scene = MarkerScene::Bytes(9),
             .interpreter = WriteInterpreterState({.page = "start.ksb", .pc = 1}, c.version),
             .variables = VariableListBuilder().Int("score", {7}).GameBytes(c.version),
             .tables = NoTables(true)});
        if (!c.loads) {
            EXPECT_THROW(rig.saves.RestoreGame(entry, "save.dat"), KivoError);
            EXPECT_EQ(rig.scene.loadedVersion, -1);
            EXPECT_FALSE(rig.h.Has("score"));
            continue;
        }
        rig.saves.RestoreGame(entry, "save.dat");
        EXPECT_EQ(rig.scene.value, 9);
        EXPECT_EQ(rig.scene.loadedVersion, c.version);
        EXPECT_EQ(rig.h.State().pc, 1);
        EXPECT_EQ(rig.h.Int("score"), 7);
        EXPECT_EQ(rig.h.tables.Find("before") == nullptr, c.tablesRead);
    }
}

TEST(SaveManager, ResumePageRunsFirstAndReturnsToTheSavedPlace) {
    const struct {
        int32_t resumeIndex;
        int32_t pc;  // where the resume page starts
    } cases[] = {{2, 2}, {0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resumeIndex);
        SaveRig rig;
        rig.saves.RestoreGame(
            WriteGameEntry({.resumePage = "resume.ksb",
                            .resumeIndex = c.resumeIndex,
                            .scene = MarkerScene::Bytes(0),
                            .interpreter = WriteInterpreterState(
                                {.page = "start.ksb", .pc = 1, .arguments = {"a"}}, 134),
                            .variables = VariableListBuilder().GameBytes(134)}),
            "save.dat");
        const InterpreterState& s = rig.h.State();
        EXPECT_EQ(s.page->Name(), "resume.ksb");
        EXPECT_EQ(s.pc, c.pc);
        EXPECT_TRUE(s.arguments.empty());
        ASSERT_EQ(s.Depth(), 1);
        EXPECT_EQ(s.stack[0].pageName, "start.ksb");
        EXPECT_EQ(s.stack[0].pc, 1);
        EXPECT_EQ(s.stack[0].arguments, std::vector<std::string>{"a"});
        EXPECT_TRUE(s.stack[0].resultVariable.empty());
    }
}

TEST(SaveManager, StatusVersionsDecideTheDitherByteAndTheKeptTables) {
    TDBManager keptSource;
    (void)keptSource.CreateOrActivate("settings", true);
    const std::vector<uint8_t> keptTables = Parts([&](ByteWriter& w) { keptSource.Save(w, true); });
    const VariablePlace status{.status = 1};
    const std::vector<uint8_t> variables =
        VariableListBuilder().Int("volume", {80}, {}, status).StatusBytes();
    const struct {
        const char* header;
        bool readMarks, dither, tables;
    } cases[] = {{"Status103", true, true, true},    {"Status102", true, true, false},
                 {"Status100", true, false, false},  {"Status099", false, false, false},
                 {"StatusABC", false, false, false}, {"", false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        SaveRig rig;
        (void)rig.h.variables.Create("older", PT_STR);
        SavedStatus entry{.header = c.header, .variables = variables, .dither = uint8_t{1}};
        if (!c.readMarks) entry.readMarks = std::vector<uint8_t>{};
        if (!c.dither) entry.dither.reset();
        if (c.tables) entry.tables = keptTables;
        rig.saves.RestoreStatus(WriteStatusEntry(entry), "save.dat");
        EXPECT_EQ(rig.h.Int("volume"), 80);
        EXPECT_TRUE(rig.h.Has("older"));  // the status data only adds
        EXPECT_EQ(rig.images->ScreenDepth(), c.dither);
        EXPECT_EQ(rig.h.tables.Find("settings") != nullptr, c.tables);
    }
}

TEST(SaveManager, CaptionsFollowTheSavesAndTheFileOrderAfterARestart) {
    SaveRig rig;
    rig.h.Frame();
    rig.saves.SaveGame(3, "three", "", 0);
    rig.saves.SaveGame(5, "five", "", 0);
    rig.saves.SaveGame(3, "three again", "", 0);
    rig.saves.SaveGame(7, "", "", 0);  // an empty caption saves nothing
    const std::vector<SaveCaption> session = rig.saves.Captions();
    ASSERT_EQ(session.size(), 2u);
    EXPECT_EQ(session[0].slot, 3);
    EXPECT_EQ(session[0].caption, "three again");
    EXPECT_EQ(session[1].slot, 5);
    EXPECT_EQ(rig.saves.CaptionOf(5), "five");
    EXPECT_EQ(rig.saves.CaptionOf(7), "");

    // The entry written last lies last in the file, and so in the next run's list.
    TSaveManager next = rig.Another();
    next.ReadStatusAndCaptions();
    const std::vector<SaveCaption> restarted = next.Captions();
    ASSERT_EQ(restarted.size(), 2u);
    EXPECT_EQ(restarted[0].slot, 5);
    EXPECT_EQ(restarted[1].slot, 3);
    EXPECT_EQ(restarted[1].caption, "three again");
    EXPECT_TRUE(rig.warnings.str().empty()) << rig.warnings.str();
}

TEST(SaveManager, EntriesNotNamedLikeSlotsGiveNoCaption) {
    SaveRig rig;
    const std::vector<uint8_t> slot = WriteGameEntry({.caption = "kept"});
    const std::vector<uint8_t> other = WriteGameEntry({.caption = "odd"});
    const std::vector<uint8_t> file = BuildArchive(
        102, {{"GAMESAVEDATA-1", other}, {"GAMESAVEDATAx", other}, {"GAMESAVEDATA4", slot}});
    std::ofstream(rig.folder / "save.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    rig.saves.ReadStatusAndCaptions();
    ASSERT_EQ(rig.saves.Captions().size(), 1u);
    EXPECT_EQ(rig.saves.CaptionOf(4), "kept");
}

TEST(SaveManager, UnusableSaveWarnsAndQuitsAndIsNeverSavedOver) {
    SaveRig rig;
    rig.h.Frame();
    const std::vector<uint8_t> old = WriteGameEntry({.version = 106, .caption = "old"});
    const std::vector<uint8_t> file = BuildArchive(102, {{"GAMESAVEDATA1", old}});
    std::ofstream(rig.folder / "save.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    // A slot never saved: nothing happens, but the frame is still not drawn.
    rig.saves.RequestLoad(2);
    EXPECT_TRUE(rig.saves.ServePending());
    EXPECT_FALSE(rig.h.player.quitRequest);
    EXPECT_TRUE(rig.h.dialogs.shown.empty());

    // A load that fails in the frame a save was asked for: the half-restored game is not saved.
    rig.saves.RequestSave(2, "after", "", 0);
    rig.saves.RequestLoad(1);
    EXPECT_TRUE(rig.saves.ServePending());
    EXPECT_TRUE(rig.h.player.quitRequest);
    ASSERT_EQ(rig.h.dialogs.shown.size(), 1u);
    EXPECT_EQ(rig.h.dialogs.shown[0].text, kUnusableSaveText);
    EXPECT_EQ(rig.h.dialogs.shown[0].caption, "警告");
    EXPECT_EQ(rig.h.dialogs.shown[0].icon, DialogIcon::Warning);
    EXPECT_EQ(rig.h.dialogs.shown[0].buttons, DialogButtons::Ok);
    EXPECT_EQ(rig.saves.File().ReadEntry("GAMESAVEDATA2"), std::nullopt);
    EXPECT_NE(rig.warnings.str().find("106"), std::string::npos) << rig.warnings.str();
}

TEST(SaveManager, FailedSaveIsReportedOnceAndKeepsFileAndCaptions) {
    SaveRig rig;
    rig.h.Frame();
    rig.saves.SaveGame(1, "first", "", 0);
    const std::string before = ReadWholeFile(rig.folder / "save.dat");
    int writes = 0;
    rig.saves.File().SetWriter(
        [&](const std::filesystem::path& path, const std::function<void(TTpBigStream&)>&) {
            ++writes;
            throw KivoError(path.string(), "no space left on device");
        });
    rig.saves.RequestSave(1, "second", "", 0);
    EXPECT_FALSE(rig.saves.ServePending());
    EXPECT_FALSE(rig.saves.ServePending());
    EXPECT_EQ(writes, 1);  // the request went with the failure; no status store followed it
    EXPECT_EQ(rig.saves.CaptionOf(1), "first");
    EXPECT_EQ(ReadWholeFile(rig.folder / "save.dat"), before);
    EXPECT_NE(rig.warnings.str().find("save.dat: no space left on device"), std::string::npos)
        << rig.warnings.str();
    EXPECT_FALSE(rig.h.player.quitRequest);
}

TEST(SaveManager, DamagedFilesAreKeptAsideAndTheGameStartsWithoutThem) {
    SaveRig rig;
    rig.h.Frame();
    // An archive cut short: moved aside whole; the next save starts a new file.
    std::vector<uint8_t> cut = BuildArchive(102, {{"GAMESAVEDATA1", WriteGameEntry({})}});
    cut.resize(cut.size() - 5);
    std::ofstream(rig.folder / "save.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(cut.data()), static_cast<std::streamsize>(cut.size()));
    rig.saves.ReadStatusAndCaptions();
    EXPECT_TRUE(rig.saves.Captions().empty());
    EXPECT_NE(rig.warnings.str().find("save.dat"), std::string::npos) << rig.warnings.str();
    EXPECT_EQ(ReadWholeFile(rig.folder / "save.dat.bad"), std::string(cut.begin(), cut.end()));
    rig.saves.SaveGame(2, "fresh", "", 0);
    EXPECT_TRUE(rig.saves.File().ReadEntry("GAMESAVEDATA2").has_value());

    // A status entry that cannot be read: the file is copied aside before a status store
    // replaces the entry, and the saved games stay.
    SaveRig other;
    const std::vector<uint8_t> badStatus =
        WriteStatusEntry({.variables = {0xFF, 0xFF, 0xFF, 0x7F}});
    const std::vector<uint8_t> file = BuildArchive(
        102,
        {{"GAMESAVEDATA1", WriteGameEntry({.caption = "one"})}, {"STATUSSAVEDATA", badStatus}});
    std::ofstream(other.folder / "save.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    other.saves.ReadStatusAndCaptions();
    EXPECT_EQ(other.saves.CaptionOf(1), "one");
    EXPECT_EQ(ReadWholeFile(other.folder / "save.dat.bad"), std::string(file.begin(), file.end()));
    other.saves.StoreStatus();
    EXPECT_EQ(other.saves.File().ReadEntry("STATUSSAVEDATA"), other.saves.StatusEntry());
    EXPECT_TRUE(other.saves.File().ReadEntry("GAMESAVEDATA1").has_value());
}

}  // namespace
}  // namespace kivo::test
