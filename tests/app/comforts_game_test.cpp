// The player's comforts in headless games: a save state taken in the middle of a text reveal
// and a fade comes back exactly (variables, objects, the interpreter's place, the picture),
// fast-forward reaches the same game-time results in a quarter of the frames, screenshots land
// in the pictures folder, and damaged or foreign states are refused without harm.

#include "scene_game_fixture.h"

#include <set>

#include "imaging/png_codec.h"
#include "media/media_fakes.h"
#include "support/recording_trace.h"
#include "support/smf_writer.h"

namespace kivo {
namespace {

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
    const std::string text = test::ReadWholeFile(path);
    return {text.begin(), text.end()};
}

void PutFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A ten-block message window revealed at four frames a block, beside two boxes that fade from
// red to blue over 160 ms; once the fade is done the game waits 480 ms and moves on to phase 2.
const std::string kGame =
    "VarNew \"phase\" type=PT_INT value={0}\n"
    "MesNew PR_NAME={\"mes\"} PR_WIDTH={160} PR_HEIGHT={16} PR_FONTHEIGHT={16} "
    "PR_FONTCOLOR={0xFFFFFF} PR_TEXTDELAY={328}\n"
    "TextIns \"■■■■■■■■■■\" object={\"mes\"}\n"
    "BoxNew PR_NAME={\"new\"} PR_LEFT={160} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0xFF0000}\n"
    "BoxNew PR_NAME={\"old\"} PR_LEFT={160} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0x0000FF}\n"
    "Calc {phase = 1}\n"
    "Flip wipe={1} time={160} mode={0} names=({\"old\"})\n"
    "Wait time={480}\n"
    "Calc {phase = 2}\n"
    "VarNew \"late\" type=PT_INT value={7}\n"
    "BoxNew PR_NAME={\"after\"} PR_WIDTH={8} PR_HEIGHT={8} PR_COLOR={0x00FF00}\n"
    "Label \"idle\"\n"
    "Wait time={100000}\n";

// Alt with a key pressed at frame and let go at the next.
std::string AltKey(int64_t frame, int32_t key, bool shift = false) {
    const std::string at = std::to_string(frame) + " ";
    const std::string next = std::to_string(frame + 1) + " ";
    std::string lines = at + "keydown 18\n";
    if (shift) lines += at + "keydown 16\n";
    lines +=
        at + "keydown " + std::to_string(key) + "\n" + next + "keyup " + std::to_string(key) + "\n";
    if (shift) lines += next + "keyup 16\n";
    return lines + next + "keyup 18\n";
}

// Lends the test's recording ports to a player, which owns what its factory returns.
class ForwardingPorts final : public MidiPortProvider {
  public:
    explicit ForwardingPorts(test::RecordingPorts& ports) : ports_(ports) {}
    [[nodiscard]] std::vector<std::string> HostPortNames() override { return {}; }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenMapper(int32_t sampleRate) override {
        return ports_.OpenMapper(sampleRate);
    }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenHostPort(size_t) override { return nullptr; }

  private:
    test::RecordingPorts& ports_;
};

class ComfortsGame : public SceneGame {
  protected:
    ComfortsGame() {
        configure = [this](PlayerConfig& config) {
            config.saveDir = saves_.Path();
            config.picturesFolder = pictures_.Path();
            config.warnings = &warnings_;
        };
    }

    // The text of a field of the dump's player part ("page", "pc").
    [[nodiscard]] std::string Field(const std::string& name) const {
        const std::string json = test::ReadWholeFile(folder_ / "vars.json");
        const size_t at = json.find("\"" + name + "\": ");
        if (at == std::string::npos) return "missing";
        const size_t from = at + name.size() + 4;
        return json.substr(from, json.find_first_of(",\n", from) - from);
    }

    const test::ScratchFolder saves_{"kivo_comforts_saves"};
    const test::ScratchFolder pictures_{"kivo_comforts_pictures"};
    std::ostringstream warnings_;
};

TEST_F(ComfortsGame, ARestoredStatePlaysOnAsTheGameDidFromWhereItWasTaken) {
    Write(kGame, 192, 16);
    // Taken after frame 5 (text, fade and wait under way), restored after frame 60 (all long
    // done): fifteen frames later the game stands where a run of 5 + 1 + 15 frames stands,
    // its text half shown.
    ASSERT_EQ(Play(76, AltKey(5, '1') + AltKey(60, '1', true)), 0);
    const std::vector<uint32_t> restored = frame_;
    const std::string phase = Var("phase"), late = Var("late");
    const std::string page = Field("page"), pc = Field("pc");
    const std::string objects = test::ReadWholeFile(folder_ / "scene.json");
    EXPECT_TRUE(warnings_.str().empty()) << warnings_.str();
    EXPECT_TRUE(std::filesystem::exists(saves_ / "states.dat"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "states.dat"));

    ASSERT_EQ(Play(21), 0);
    EXPECT_EQ(phase, "1");
    EXPECT_EQ(Var("phase"), "1");
    EXPECT_EQ(late, "missing");
    EXPECT_EQ(page, Field("page"));
    EXPECT_EQ(pc, Field("pc"));
    EXPECT_EQ(objects, test::ReadWholeFile(folder_ / "scene.json"));
    EXPECT_EQ(restored, frame_);

    // The game left alone reaches phase 2 with a finished picture, which differs.
    ASSERT_EQ(Play(64), 0);
    EXPECT_EQ(Var("phase"), "2");
    EXPECT_EQ(Var("late"), "7");
    EXPECT_NE(restored, frame_);
}

TEST_F(ComfortsGame, AStateOfAnotherProjectOrAnEmptySlotIsRefusedAndTheGameGoesOn) {
    Write(kGame, 192, 16);
    ASSERT_EQ(Play(8, AltKey(2, '3')), 0);
    // The project file changes (another scene size): its states are not restored.
    Write(kGame, 192, 24);
    ASSERT_EQ(Play(64, AltKey(60, '3', true) + AltKey(61, '4', true)), 0);
    EXPECT_EQ(Var("phase"), "2");
    EXPECT_NE(warnings_.str().find("save state 3 was not restored: it was taken with another"),
              std::string::npos)
        << warnings_.str();
    EXPECT_NE(warnings_.str().find("save state 4 was not restored: the slot is empty"),
              std::string::npos);
}

TEST_F(ComfortsGame, ADamagedStateFileCostsOnlyTheDamagedSlot) {
    Write(kGame, 192, 16);
    ASSERT_EQ(Play(8, AltKey(2, '1') + AltKey(4, '2')), 0);
    // Slot 1's body (the first record) loses a byte in its middle.
    std::vector<uint8_t> bytes = FileBytes(saves_ / "states.dat");
    bytes[8 + 12 + 40] ^= 0x55;
    PutFileBytes(saves_ / "states.dat", bytes);

    ASSERT_EQ(Play(64, AltKey(60, '2', true)), 0);
    EXPECT_NE(warnings_.str().find("save state 1 is damaged"), std::string::npos)
        << warnings_.str();
    EXPECT_EQ(Var("phase"), "1");
    // The next state written keeps the damaged file aside.
    ASSERT_EQ(Play(4, AltKey(1, '5')), 0);
    EXPECT_EQ(FileBytes(saves_ / "states.dat.bad"), bytes);

    // A file cut short still lets the game start.
    bytes.resize(30);
    PutFileBytes(saves_ / "states.dat", bytes);
    warnings_.str("");
    ASSERT_EQ(Play(64), 0);
    EXPECT_EQ(Var("phase"), "2");
    EXPECT_NE(warnings_.str().find("cut short"), std::string::npos) << warnings_.str();
}

TEST_F(ComfortsGame, FastForwardReachesTheSameGameTimeInAQuarterOfTheFrames) {
    Write(kGame, 192, 16);
    // Switched on before frame 1: the run's game time after P frames is that of 1 + 4 (P - 1)
    // plain frames, picture and all.
    ASSERT_EQ(Play(5, AltKey(1, 'F')), 0);
    const std::vector<uint32_t> fast = frame_;
    ASSERT_EQ(Play(17), 0);
    EXPECT_EQ(fast, frame_);
    ASSERT_EQ(Play(5), 0);
    EXPECT_NE(fast, frame_);

    // Switched off again, frames run one step each.
    ASSERT_EQ(Play(12, AltKey(1, 'F') + AltKey(3, 'F')), 0);
    EXPECT_EQ(Var("phase"), "1");
    ASSERT_EQ(Play(20, AltKey(1, 'F')), 0);
    EXPECT_EQ(Var("phase"), "2");
}

// A MIDI song keeps to the game time under fast-forward: headless sound follows the game time
// of every frame step, so after P presented frames the song has sent what a run of
// 1 + 4 (P - 1) plain frames sends, and it stands four times as far into the song as after P
// plain frames (the song starts with the first step's sound, so 32 steps against 8).
TEST_F(ComfortsGame, FastForwardPlaysMidiFourTimesAsFarInGameTime) {
    test::SmfTrack notes = test::SmfTrack().Tempo(0, 1000000);
    for (int note = 0; note < 40; ++note) {
        notes.Event(note == 0 ? 0 : 25, {0x90, static_cast<uint8_t>(60 + note % 12), 100});
        notes.Event(25, {0x80, static_cast<uint8_t>(60 + note % 12), 0});
    }
    WriteData("song.mid",
              test::WriteSmf({.format = 0, .division = 1000, .tracks = {notes.End(0)}}));
    test::RecordingTrace trace;
    test::RecordingPorts ports;
    const auto keepSaves = configure;
    configure = [&](PlayerConfig& config) {
        keepSaves(config);
        config.midiTrace = &trace;
        config.media.midiPorts = [&](const std::string&) {
            return std::make_unique<ForwardingPorts>(ports);
        };
    };
    Write(
        "Sound PR_NAME={\"tune\"} PR_SOURCE={\"song.mid\"}\nLabel \"idle\"\nWait time={100000}\n");
    const auto played = [&](int64_t frames, const std::string& input) {
        trace.lines.clear();
        EXPECT_EQ(Play(frames, input), 0);
        return trace.lines;
    };
    const std::vector<std::string> fast = played(9, AltKey(1, 'F'));
    EXPECT_EQ(fast, played(33, ""));
    const std::vector<std::string> plain = played(9, "");
    // The run's end stops the song where it stands: the last lines turn the notes off there.
    const auto reached = [](const std::vector<std::string>& lines) {
        return lines.empty() ? -1 : std::stoi(lines.back());
    };
    EXPECT_GT(reached(plain), 0);
    EXPECT_EQ(reached(fast), 4 * reached(plain));
}

TEST_F(ComfortsGame, AScreenshotIsTheSceneAtItsOwnSizeNamedAfterTheTitleAndTime) {
    Write(kGame, 192, 16);
    // Taken from the frame presented after frame 8, the last one of a nine-frame run.
    ASSERT_EQ(Play(9, AltKey(8, 'S')), 0);
    const std::filesystem::path shot = pictures_ / "scene-20000101-120000.png";
    ASSERT_TRUE(std::filesystem::exists(shot)) << warnings_.str();
    const PngPicture picture = DecodePng(FileBytes(shot), shot.string());
    ASSERT_EQ(picture.Bitmap.Width(), 192);
    ASSERT_EQ(picture.Bitmap.Height(), 16);
    std::set<uint32_t> colours;
    for (int32_t y = 0; y < 16; ++y) {
        const uint8_t* row = picture.Bitmap.ScanLine(y);
        for (int32_t x = 0; x < 192; ++x) {
            const uint32_t pixel = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
            ASSERT_EQ(pixel, At(x, y)) << x << "," << y;
            colours.insert(pixel);
        }
    }
    // Text and the fading boxes, not a blank picture.
    EXPECT_GT(colours.size(), 2u);
    // A second one in the same second keeps the first.
    ASSERT_EQ(Play(12, AltKey(8, 'S')), 0);
    EXPECT_TRUE(std::filesystem::exists(pictures_ / "scene-20000101-120000-2.png"));
}

TEST_F(ComfortsGame, WithoutTheKeysARunIsAsItWas) {
    Write(kGame, 192, 16);
    ASSERT_EQ(Play(30), 0);
    const std::vector<uint32_t> plain = frame_;
    const std::string vars = test::ReadWholeFile(folder_ / "vars.json");
    // Alt alone, and keys without Alt, are the game's.
    ASSERT_EQ(Play(30, "3 keydown 18\n4 keyup 18\n5 keydown 70\n6 keyup 70\n"), 0);
    EXPECT_EQ(plain, frame_);
    EXPECT_EQ(vars, test::ReadWholeFile(folder_ / "vars.json"));
    EXPECT_FALSE(std::filesystem::exists(saves_ / "states.dat"));
    EXPECT_TRUE(std::filesystem::is_empty(pictures_.Path()));
}

}  // namespace
}  // namespace kivo
