// Sound, video, timer, property-motion and HTTP objects on a scene root with a recording media
// layer and a scripted HTTP client: levels and fades, play states and the renaming of a fading
// sound, ends, timers under long frames, motions that lose their target or name no property,
// fetches, the EUC-JP text, and save records that round trip.

#include <cmath>
#include <limits>

#include "platform/http_client.h"
#include "scene/kivo_http.h"
#include "scene/kivo_prop_motion.h"
#include "scene/kivo_sound.h"
#include "scene/kivo_timer.h"
#include "scene/kivo_video.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

// An item that plays in game time: it ends once length ms of playing have passed.
class FakeItem final : public SoundItem {
  public:
    explicit FakeItem(const PlayerState& state, int32_t length) : state_(state), length_(length) {}
    bool GetLoop() override { return false; }
    void SetLoop(bool) override {}
    int32_t GetPan() override { return pan; }
    int32_t GetVolume() override { return volume; }
    void SetPan(int32_t p) override { pan = p; }
    void SetVolume(int32_t v) override {
        volume = v;
        levels.push_back(v);
    }
    int32_t GetPosition() override { return Position(); }
    void SetPosition(int32_t ms) override {
        base_ = ms;
        since_ = state_.gameClock;
        ended_ = false;
    }
    int32_t GetLength() override { return length_; }
    bool IsEnd() override {
        if (ended_ || !playing || Position() < length_) return false;
        ended_ = true;
        playing = false;
        return true;
    }
    bool IsPlaying() override { return playing; }
    bool IsPaused() override { return !playing; }
    void Play() override {
        if (!playing) since_ = state_.gameClock;
        playing = true;
    }
    void Pause() override {
        base_ = Position();
        playing = false;
    }

    int32_t volume = 0;
    int32_t pan = 0;
    bool playing = false;
    std::vector<int32_t> levels;

  private:
    [[nodiscard]] int32_t Position() const {
        return playing ? base_ + state_.gameClock - since_ : base_;
    }

    const PlayerState& state_;
    int32_t length_;
    int32_t base_ = 0;
    int32_t since_ = 0;
    bool ended_ = false;
};

// A video of 8 x 4 pixels that plays in game time: red, green and blue frames of 100 ms each,
// then red again; it counts the frames decoded and keeps where its overlay was put.
class FakeVideo final : public VideoFrames {
  public:
    explicit FakeVideo(FakeItem& item) : item_(item) {}
    bool NeedPaint() override {
        ++decodes;
        const uint32_t pixel = kPixels[(item_.GetPosition() / 100) % 3];
        if (!frame_.empty() && frame_[0] == pixel) return false;
        frame_.assign(8 * 4, pixel);
        return true;
    }
    std::span<const uint32_t> Frame() const override { return frame_; }
    int32_t SourceWidth() const override { return 8; }
    int32_t SourceHeight() const override { return 4; }
    void SetRect(const TRect& rect, const TRect& clip) override {
        screen = rect;
        video = clip;
    }
    void SetVisible(bool shown) override { visible = shown; }

    static constexpr uint32_t kPixels[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    int32_t decodes = 0;
    TRect screen;
    TRect video;
    bool visible = false;

  private:
    FakeItem& item_;
    std::vector<uint32_t> frame_;
};

class FakeMedia final : public SceneMedia {
  public:
    explicit FakeMedia(const PlayerState& state) : state_(state) {}
    bool GameHasFile(std::string_view name) override { return name != "missing.wav"; }
    SoundItemRef AddSound(std::string_view name) override {
        items.push_back(std::make_unique<FakeItem>(state_, length));
        return {items.back().get(), name.ends_with(".mid")};
    }
    void RemoveSound(SoundItem* item) override {
        std::erase_if(items, [item](const auto& held) { return held.get() == item; });
    }
    VideoItemRef AddVideo(std::string_view name, bool overlay) override {
        overlays.push_back(overlay);
        (void)AddSound(name);
        video = std::make_unique<FakeVideo>(Last());
        return {&Last(), video.get()};
    }
    void RemoveVideo(SoundItem* item) override {
        RemoveSound(item);
        video.reset();
    }
    void SetSoundOn(bool) override {}
    std::vector<std::string> MidiPortNames() override { return {}; }
    std::string MidiPort() override { return {}; }
    void SelectMidiPort(std::string_view) override {}

    [[nodiscard]] FakeItem& Last() const { return *items.back(); }

    int32_t length = 1000;
    std::vector<std::unique_ptr<FakeItem>> items;
    std::unique_ptr<FakeVideo> video;
    std::vector<bool> overlays;

  private:
    const PlayerState& state_;
};

class MediaObjectsTest : public SceneTest {
  protected:
    MediaObjectsTest() {
        root.SetMedia(&media);
        root.SetHttp(&http);
    }
    // The sounds give their items back while the media layer still exists.
    ~MediaObjectsTest() override { root.Reset(); }

    // Runs frames of the frame delta: the clock, then the scene's update.
    void Frames(int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            state.gameClock += state.frameDelta;
            http.Pump();
            root.FrameAdvance();
        }
    }

    TKivoSound& Sound(const std::string& name, const std::string& source) {
        TKivoSound& sound = root.Create<TKivoSound>();
        sound.Rename(name);
        sound.SetSource(source);
        return sound;
    }

    TKivoVideo& Video(const std::string& name, const std::string& source) {
        TKivoVideo& video = root.Create<TKivoVideo>();
        video.Rename(name);
        video.SetSource(source);
        video.SetParent(&root.ActiveLayer());
        return video;
    }

    std::vector<uint8_t> Saved(const TKivoBaseList& scene) {
        ByteWriter writer;
        scene.Save(writer);
        return writer.Take();
    }

    FakeMedia media{state};
    ScriptedHttpClient http;
};

TEST_F(MediaObjectsTest, VolumesAndFadesGiveTheLevelsOfEachKindOfItem) {
    struct Case {
        int32_t volume;
        bool midi;
        int32_t level;
    };
    for (const Case& c : {Case{1, false, -4995}, Case{0, false, -10000}, Case{-5, false, -10000},
                          Case{1000, false, 0}, Case{1001, false, 0}, Case{500, false, -2500},
                          Case{500, true, -5000}, Case{1000, true, 0}}) {
        EXPECT_EQ(SoundLevel(c.volume, c.midi), c.level) << c.volume << " midi " << c.midi;
    }
    // A fade-out of a wave sound from 0 dB over 1000 ms: -25 dB halfway, silence at the end;
    // a MIDI fade runs the whole range straight.
    FakeItem item(state, 5000);
    for (bool midi : {false, true}) {
        TKivoMixer fade(false, 0, 1000);
        item.SetVolume(0);
        state.gameClock = 0;
        EXPECT_FALSE(fade.Step(item, midi, 0));
        EXPECT_EQ(item.volume, 0);
        EXPECT_FALSE(fade.Step(item, midi, 500));
        EXPECT_EQ(item.volume, midi ? -5000 : -2500);
        EXPECT_FALSE(fade.Step(item, midi, 999));
        EXPECT_TRUE(fade.Step(item, midi, 1000));
        EXPECT_EQ(item.volume, -10000);
    }
    // A wave fade-in starts silent, then rises through the upper half.
    TKivoMixer in(true, 0, 1000);
    EXPECT_FALSE(in.Step(item, false, 0));
    EXPECT_EQ(item.volume, -10000);
    EXPECT_TRUE(item.playing);
    EXPECT_FALSE(in.Step(item, false, 500));
    EXPECT_EQ(item.volume, -2500);
}

TEST_F(MediaObjectsTest, AFadingOutSoundFreesItsNameAndGoesWhenTheFadeEnds) {
    TKivoSound& sound = Sound("bgm", "a.ogg");
    sound.SetFadeTime(160);
    sound.SetPlayState(LP_PLAY);
    ASSERT_EQ(media.items.size(), 1u);
    EXPECT_TRUE(media.Last().playing);
    sound.SetPlayState(LP_STOPFADE);
    EXPECT_EQ(sound.Name(), "\x01SCRAP_bgm");
    EXPECT_EQ(root.FindComponent("bgm"), nullptr);
    // A new sound of the old name plays beside the fading one.
    TKivoSound& next = Sound("bgm", "b.ogg");
    next.SetPlayState(LP_PLAY);
    EXPECT_EQ(media.items.size(), 2u);
    const ObjectHandle fading = sound.Handle();
    Frames(10);  // initialises at 16 ms, completes at 176 ms
    EXPECT_NE(root.Resolve(fading), nullptr);
    Frames(1);
    EXPECT_EQ(root.Resolve(fading), nullptr);
    EXPECT_EQ(media.items.size(), 1u);
    EXPECT_EQ(root.FindComponent("bgm"), &next);
}

TEST_F(MediaObjectsTest, EndsRaisePlayEndOnceRepeatRewindsAndAutoScrapGoes) {
    media.length = 100;
    TKivoSound& once = Sound("once", "a.wav");
    once.SetPlayEndHandler("ev.ksb:end");
    once.SetPlayState(LP_PLAY);
    TKivoSound& loop = Sound("loop", "b.wav");
    loop.SetRepeat(true);
    loop.SetPlayEndHandler("ev.ksb:end");
    loop.SetPlayState(LP_PLAY);
    TKivoSound& scrap = Sound("scrap", "c.wav");
    scrap.SetAutoScrap(true);
    scrap.SetPlayState(LP_PLAY);
    const ObjectHandle scrapHandle = scrap.Handle();
    Frames(6);  // 96 ms: nothing has ended
    EXPECT_TRUE(Queue().empty());
    Frames(1);  // 112 ms
    EXPECT_EQ(Queue(), (std::vector<std::string>{"once:43"}));
    EXPECT_TRUE(once.Finished());
    EXPECT_EQ(root.Resolve(scrapHandle), nullptr);
    Frames(30);
    EXPECT_EQ(Queue().size(), 1u);
    EXPECT_TRUE(loop.Playing());
    EXPECT_FALSE(loop.Finished());
    // Repeat switched on at the end rewinds a finished sound.
    once.SetRepeat(true);
    EXPECT_TRUE(once.Playing());
    // A sound of a file the game lacks plays nothing and, with auto-scrap, goes.
    TKivoSound& missing = Sound("m", "missing.wav");
    missing.SetAutoScrap(true);
    const ObjectHandle missingHandle = missing.Handle();
    missing.SetPlayState(LP_PLAY);
    Frames(1);
    EXPECT_EQ(root.Resolve(missingHandle), nullptr);
}

TEST_F(MediaObjectsTest, PausingSilencesAndResumingSetsTheLevelAgain) {
    TKivoSound& sound = Sound("s", "a.wav");
    sound.SetVolume(500);
    sound.SetPlayState(LP_PLAY);
    EXPECT_EQ(media.Last().volume, -2500);
    sound.SetAniPaused(true);
    EXPECT_FALSE(media.Last().playing);
    EXPECT_EQ(media.Last().volume, -10000);
    sound.SetPaused(true);
    sound.SetAniPaused(false);
    EXPECT_FALSE(media.Last().playing);  // still held by the other flag
    sound.SetPaused(false);
    EXPECT_TRUE(media.Last().playing);
    EXPECT_EQ(media.Last().volume, -2500);
    sound.SetBalance(20000);
    EXPECT_EQ(media.Last().pan, 10000);
}

TEST_F(MediaObjectsTest, TimersFireOnTimeAndNeverQueueTwoEvents) {
    TKivoTimer& timer = root.Create<TKivoTimer>();
    timer.Rename("t");
    timer.SetHandler("ev.ksb:tick");
    timer.SetInterval(100);
    std::vector<int32_t> firedAt;
    for (int32_t i = 0; i < 20; ++i) {
        Frames(1);
        if (!Queue().empty()) {
            firedAt.push_back(state.gameClock);
            root.Events().Clear();  // the handler ran
        }
    }
    EXPECT_EQ(firedAt, (std::vector<int32_t>{112, 208, 304}));

    // In frames of 350 ms the timer fires once a frame and catches up, one event at a time.
    state.frameDelta = 350;
    timer.SetInterval(100);
    Frames(1);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"t:33"}));
    Frames(3);  // the handler has not run: nothing more is queued
    EXPECT_EQ(Queue().size(), 1u);
    // An auto-scrap timer goes once its event has been handled.
    timer.SetAutoScrap(true);
    const ObjectHandle handle = timer.Handle();
    Frames(1);
    EXPECT_NE(root.Resolve(handle), nullptr);
    root.Events().Clear();
    Frames(1);
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MediaObjectsTest, PropertyMotionsFollowTheirCurvesAndEndOnTheTarget) {
    struct Case {
        int32_t curve;
        std::vector<int32_t> lefts;  // after each frame
    };
    // 0 to 100 over 160 ms in 16 ms frames, truncated; the sine eases worked out apart.
    const Case cases[] = {
        {MT_NORMAL, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
        {MT_INC, {0, 1, 5, 11, 19, 29, 42, 55, 70, 85, 100}},
        {MT_DEC, {0, 15, 30, 45, 58, 70, 80, 89, 95, 98, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curve);
        TKivoBox& box = Box("b", 0, 0, 2, 2);
        TKivoPropMotion& motion = root.Create<TKivoPropMotion>();
        motion.SetUp({.target = "b",
                      .property = PR_LEFT,
                      .endValue = 100,
                      .duration = 160,
                      .curve = c.curve});
        const ObjectHandle handle = motion.Handle();
        std::vector<int32_t> lefts;
        for (size_t i = 0; i < c.lefts.size(); ++i) {
            Frames(1);
            lefts.push_back(box.Left());
        }
        EXPECT_EQ(lefts, c.lefts);
        EXPECT_EQ(root.Resolve(handle), nullptr);
        root.Destroy(box);
    }
}

TEST_F(MediaObjectsTest, MotionsWithoutATargetOrPropertyMoveNothing) {
    TKivoBox& box = Box("b", 0, 0, 2, 2);
    box.SetAlpha(255);
    // 267 would be the alpha if the id were cut to a byte.
    TKivoPropMotion& wide = root.Create<TKivoPropMotion>();
    wide.SetUp({.target = "b", .property = 267, .endValue = 0, .duration = 100});
    // A target that leaves the scene ends the motion where it stands.
    TKivoBox& gone = Box("g", 0, 0, 2, 2);
    TKivoPropMotion& follow = root.Create<TKivoPropMotion>();
    follow.SetUp({.target = "g", .property = PR_LEFT, .endValue = 100, .duration = 1000});
    // NaN saturates to 0 instead of an undefined conversion.
    TKivoPropMotion& nan = root.Create<TKivoPropMotion>();
    nan.SetUp({.target = "b",
               .property = PR_TOP,
               .endValue = std::numeric_limits<Extended>::quiet_NaN(),
               .duration = 0});
    box.SetTop(7);
    const ObjectHandle followHandle = follow.Handle();
    Frames(3);
    EXPECT_EQ(box.Alpha(), 255);
    EXPECT_EQ(box.Top(), 0);
    EXPECT_EQ(gone.Left(), 3);
    root.Destroy(gone);
    Frames(1);
    EXPECT_EQ(root.Resolve(followHandle), nullptr);
    EXPECT_EQ(root.ObjectCount(), 1);
}

TEST_F(MediaObjectsTest, FetchesRaisePlayEndWithTheBodyOrEmptyOnFailure) {
    http.Answer("http://example.test/a",
                {.ok = true, .body = "http://example.test/b\n", .error = {}});
    http.Answer("http://example.test/b",
                {.ok = true, .body = "\xB0\xA1\x8E\xB1x\r\ny\n", .error = {}});
    TKivoHttp& first = root.Create<TKivoHttp>();
    first.Rename("first");
    first.SetPlayEndHandler("ev.ksb:got");
    first.SetSource("http://example.test/a");
    first.SetSource("http://example.test/ignored");  // a fetch runs: ignored
    EXPECT_TRUE(Queue().empty());
    Frames(1);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"first:43"}));
    EXPECT_EQ(first.Source(), "http://example.test/a");
    // "!" takes the address from another object's body.
    TKivoHttp& second = root.Create<TKivoHttp>();
    second.Rename("second");
    second.SetPlayEndHandler("ev.ksb:got");
    second.SetSource("!first");
    EXPECT_EQ(second.Source(), "http://example.test/b\n");
    Frames(1);
    // The trailing line break of the address is sent as it is and finds no answer.
    EXPECT_EQ(second.Body(), "");
    EXPECT_EQ(Queue().size(), 2u);
    second.SetSource("http://example.test/b");
    Frames(1);
    EXPECT_EQ(second.Text(), "\x88\x9F\xB1x\x01y");
    // Other schemes fail, and the failure is still reported.
    root.Events().Clear();
    second.SetSource("file:///etc/passwd");
    Frames(1);
    EXPECT_EQ(second.Body(), "");
    EXPECT_EQ(Queue(), (std::vector<std::string>{"second:43"}));
    EXPECT_EQ(http.Requests().back(), "file:///etc/passwd");
}

TEST_F(MediaObjectsTest, EucJpBecomesShiftJis) {
    struct Case {
        const char* what;
        std::string euc;
        std::string sjis;
    };
    const Case cases[] = {
        {"first kanji", "\xB0\xA1", "\x88\x9F"},
        {"hiragana a", "\xA4\xA2", "\x82\xA0"},
        {"last row", "\xF4\xA6", "\xEA\xA4"},
        {"half-width katakana", "\x8E\xB1", "\xB1"},
        {"JIS X 0212 has no code", "a\x8F\xB0\xA1z", "a?z"},
        {"a lone lead byte stays", "\xB0", "\xB0"},
        {"ascii", "abc", "abc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EucJpToShiftJis(c.euc), c.sjis) << c.what;
    EXPECT_EQ(JoinLines("a\r\nb\rc\n\nd\n"),
              "a\x01"
              "b\x01"
              "c\x01\x01"
              "d");
}

TEST_F(MediaObjectsTest, SaveRecordsRoundTrip) {
    TKivoSound& sound = Sound("s", "a.ogg");
    sound.SetRepeat(true);
    sound.SetVolume(700);
    sound.SetBalance(-300);
    sound.SetFadeTime(50);
    sound.SetPlayEndHandler("ev.ksb:end");
    sound.SetRewindOnLoad(false);
    sound.SetPlayState(LP_PLAY);
    Frames(5);
    TKivoTimer& timer = root.Create<TKivoTimer>();
    timer.Rename("t");
    timer.SetHandler("ev.ksb:tick");
    timer.SetInterval(250);
    timer.SetAutoScrap(true);
    Box("b", 0, 0, 2, 2);
    TKivoPropMotion& motion = root.Create<TKivoPropMotion>();
    motion.Rename("m");
    motion.SetUp({.target = "b", .property = PR_LEFT, .endValue = 64, .duration = 640});
    Frames(4);
    const std::vector<uint8_t> bytes = Saved(root);

    FakeMedia otherMedia{state};
    TKivoBaseList loaded(state);
    loaded.SetMedia(&otherMedia);
    ByteReader reader(bytes, "save.dat");
    loaded.Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(Saved(loaded), bytes);
    // The repeating sound plays on from where it was.
    ASSERT_EQ(otherMedia.items.size(), 1u);
    EXPECT_TRUE(otherMedia.Last().playing);
    EXPECT_EQ(otherMedia.Last().GetPosition(), 144);
    EXPECT_EQ(otherMedia.Last().volume, -1500);
    // The motion goes on from its saved start rather than from where its target stands.
    auto* box = loaded.FindComponent("b")->AsControl();
    state.gameClock += 16;
    loaded.FrameAdvance();
    EXPECT_EQ(box->Left(), 6);  // 64 ms of 640 towards 64
}

TEST_F(MediaObjectsTest, AVideoDrawsTheFrameOfItsTimeAtItsZoomPullingAtMostEvery32Ms) {
    TKivoVideo& video = Video("v", "film.wmv");
    video.SetOverlay(false);
    video.SetBounds(2, 1, 0, 0);
    video.SetZoomY(512);
    video.SetPlayState(LP_PLAY);
    ASSERT_NE(media.video, nullptr);
    EXPECT_EQ(media.overlays, std::vector<bool>{false});
    // The size follows the video and the zoom.
    EXPECT_EQ(video.Width(), 8);
    EXPECT_EQ(video.Height(), 8);
    EXPECT_EQ(video.Length(), 1000);
    Frames(1);
    EXPECT_EQ(Picture()[1], "..RRRRRRRR......");
    EXPECT_EQ(Picture()[8], "..RRRRRRRR......");
    EXPECT_EQ(Picture()[9], "................");
    // Seven more frames of 16 ms: 128 ms of film, pulled every second frame only.
    Frames(7);
    EXPECT_EQ(media.video->decodes, 4);
    EXPECT_EQ(Picture()[4], "..GGGGGGGG......");
    // Pausing holds the picture; the end of the film raises play-end once.
    video.SetPaused(true);
    Frames(20);
    EXPECT_EQ(Picture()[4], "..GGGGGGGG......");
    video.SetPlayEndHandler("ev.ksb:end");
    video.SetPaused(false);
    Frames(60);
    EXPECT_TRUE(video.Finished());
    EXPECT_EQ(Queue(), std::vector<std::string>{"v:43"});
}

TEST_F(MediaObjectsTest, AnOverlayShowsThePartOfTheVideoInsideItsParentAndClip) {
    TKivoBox& frame = Box("frame", 4, 2, 10, 6);
    TKivoVideo& video = Video("v", "film.wmv");
    video.SetParent(&frame);
    video.SetZoomX(512);
    video.SetZoomY(512);
    video.SetPlayState(LP_PLAY);
    ASSERT_NE(media.video, nullptr);
    EXPECT_EQ(media.overlays, std::vector<bool>{true});
    struct Case {
        const char* name;
        int32_t left, top;
        ClipBox clip;
        bool visible;
        TRect screen;
        TRect part;
    };
    // The video is 16 x 8 at double size; the parent shows (4, 2)-(14, 8) of the layer.
    for (const Case& c : {
             Case{"inside the parent", 0, 0, {}, true, {4, 2, 14, 8}, {0, 0, 5, 3}},
             Case{"moved left", -6, -2, {}, true, {4, 2, 14, 8}, {3, 1, 8, 4}},
             Case{"clipped", 0, 0, {2, 2, 4, 2}, true, {6, 4, 10, 6}, {1, 1, 3, 2}},
             Case{"outside", 20, 0, {}, true, {}, {}},
             Case{"hidden", 0, 0, {}, false, {}, {}},
         }) {
        video.SetBounds(c.left, c.top, video.Width(), video.Height());
        video.SetClip(c.clip);
        video.SetVisible(c.visible);
        Frames(1);
        const bool shown = !c.screen.IsEmpty();
        EXPECT_EQ(media.video->visible, shown) << c.name;
        if (!shown) continue;
        EXPECT_EQ(media.video->screen, c.screen) << c.name;
        EXPECT_EQ(media.video->video, c.part) << c.name;
    }
}

TEST_F(MediaObjectsTest, VideoRecordsReadTheFieldsOfTheirSaveVersion) {
    TKivoVideo& video = Video("v", "film.wmv");
    video.SetRepeat(true);
    video.SetVolume(600);
    video.SetOverlay(false);
    video.SetRewindOnLoad(true);
    video.SetMuteOnLoad(true);
    video.SetPlayEndHandler("ev.ksb:end");
    video.SetIdleHandler("ev.ksb:idle");
    video.SetPlayState(LP_PLAY);
    Frames(10);
    ByteWriter writer;
    video.SaveVideoFields(writer);
    const std::vector<uint8_t> bytes = writer.Take();

    struct Case {
        int32_t version;
        size_t dropped;  // the newer fields at the end of the record
        bool rewind, overlay, mute;
    };
    for (const Case& c :
         {Case{107, 3, false, true, false}, Case{111, 2, true, true, false},
          Case{128, 1, true, false, false}, Case{kSaveVersionCurrent, 0, true, false, true}}) {
        FakeMedia otherMedia{state};
        TKivoBaseList loaded(state);
        loaded.SetMedia(&otherMedia);
        const std::vector<uint8_t> record(bytes.begin(),
                                          bytes.end() - static_cast<long>(c.dropped));
        ByteReader reader(record, "save.dat");
        auto& copy = loaded.Create<TKivoVideo>();
        copy.LoadVideoFields(reader, c.version);
        EXPECT_TRUE(reader.AtEnd()) << c.version;
        EXPECT_EQ(copy.RewindOnLoad(), c.rewind) << c.version;
        EXPECT_EQ(copy.Overlay(), c.overlay) << c.version;
        EXPECT_EQ(copy.MuteOnLoad(), c.mute) << c.version;
        EXPECT_EQ(copy.Volume(), c.mute ? 0 : 600) << c.version;
        EXPECT_EQ(copy.IdleHandler(), "ev.ksb:idle") << c.version;
        // It plays again, from the start when it rewinds on load.
        ASSERT_EQ(otherMedia.items.size(), 1u) << c.version;
        EXPECT_TRUE(otherMedia.Last().playing) << c.version;
        EXPECT_EQ(otherMedia.Last().GetPosition(), c.rewind ? 0 : 160) << c.version;
        loaded.Reset();
    }
    // The whole record, the image's part first, round trips (what is loaded plays on as it
    // was when it neither rewinds nor mutes on load).
    video.SetRewindOnLoad(false);
    video.SetMuteOnLoad(false);
    video.SetZoomX(128);
    ByteWriter whole;
    root.Save(whole);
    const std::vector<uint8_t> scene = whole.Take();
    FakeMedia otherMedia{state};
    TKivoBaseList loaded(state);
    loaded.SetMedia(&otherMedia);
    ByteReader reader(scene, "save.dat");
    loaded.Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(Saved(loaded), scene);
    loaded.Reset();
}

}  // namespace
}  // namespace kivo::test
