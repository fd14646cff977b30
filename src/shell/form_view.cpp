#include "shell/form_view.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "base/error.h"
#include "base/sjis.h"
#include "scene/kivo_edit.h"
#include "scene/scene_root.h"
#include "script/system_functions.h"
#include "script/text_expressions.h"
#include "shell/game_ini.h"
#include "shell/project_pictures.h"
#include "shell/scene_expressions.h"

namespace kivo {

std::string QuitQuestionText(std::string_view utf8Title) {
    return std::string("「").append(utf8Title).append("」を終了しますか？");
}

TFormView::TFormView(Player& player) : player_(player) {}

void TFormView::FormCreate() {
    std::error_code ignored;
    std::filesystem::remove(player_.HomeFolder() / "kivoplay.log", ignored);
    player_.StartupTrace("FormCreate");

    // Without a seed of its own the generator starts from the milliseconds since local
    // midnight, read from the platform's calendar (a headless run's is fixed).
    const PlayerConfig& config = player_.Config();
    player_.random.SetSeed(
        config.seed ? *config.seed
                    : static_cast<uint32_t>(player_.platform.calendar.Now().MillisecondOfDay()));

    // A settings file we cannot read keeps the defaults; the player still runs, and the
    // message names the file so that the user can mend it.
    try {
        ReadGameIni(player_.HomeFolder(), player_.state);
    } catch (const KivoError& error) {
        ShowWarning(error.what());
    }

    try {
        MountGame();
        player_.StartupTrace("TBasePanel.Create");
        player_.variables = std::make_unique<TParamCollection>(
            &player_.state, &player_.platform.clock, &player_.platform.calendar);
        player_.functions = std::make_unique<SystemFunctionRegistry>();
        RegisterSystemFunctions(*player_.functions);
        SceneStartup();
    } catch (const std::exception& error) {
        ShowWarning(error.what());
        player_.state.quitRequest = true;
    }
    if (player_.state.quitRequest) {
        closePosted_ = true;
    } else {
        started_ = true;
        comforts_.Start();
    }
}

void TFormView::MountGame() {
    const PlayerConfig& config = player_.Config();
    // A program file on the command line stands for its folder.
    std::vector<std::filesystem::path> folders;
    for (const std::string& argument : config.arguments)
        folders.push_back(TVrFileManager::GameFolderOf(argument));
    player_.files = std::make_unique<TVrFileManager>(TVrDiscSources::System(folders));
    TVrFileManager& files = *player_.files;
    (void)files.AddArchive("");
    if (config.arguments.empty()) {
        files.SetFolder(config.executableFolder);
        // A game packed onto the player program ends in the archive trailer's "kv". (Our
        // program has no module resources, the other place a shipped game could hide.)
        (void)files.AddProgramArchives(config.executablePath);
        return;
    }
    files.SetFolder(folders.front());
    // A game shipped as its Windows program carries its archive inside that program; it is
    // mounted as the program mounted it, before any game.dat.
    const std::filesystem::path first(config.arguments.front());
    if (folders.front() != first) {
        (void)files.AddProgramArchives(first);
    } else if (auto program = TVrFileManager::FindGameProgram(first)) {
        (void)files.AddProgramArchives(*program);
    }
    for (const std::filesystem::path& folder : folders) {
        if (auto archive = TVrLooseFolder(folder).Find("game.dat"))
            (void)files.AddArchive(*archive);
    }
}

void TFormView::ShowWarning(const std::string& message) {
    (void)player_.platform.dialogs.Show(message, "警告", DialogIcon::Warning, DialogButtons::Ok);
}

void TFormView::SceneStartup() {
    PlayerState& state = player_.state;
    player_.StartupTrace("DXSound.Initialize");
    // One device whatever the DirectSound setting says: the setting only chooses between the
    // library's player and the wave output, which both reach the device through the mixer. A
    // missing sound device is no reason to stop: the game runs silent. The media layer puts
    // its mixer in place of the silence when it starts.
    (void)player_.platform.audio.Open(AudioFormat{44100, 2, state.soundDelay}, player_.silence);

    player_.StartupTrace("KivoInitialize");
    // The scene exists before the project, which is given its object directory; it takes the
    // scene size once the project file has been read.
    const SceneFactory& makeScene = player_.Config().sceneFactory;
    if (makeScene) {
        player_.scene = makeScene(player_);
    } else {
        auto root = std::make_unique<SceneRoot>(player_.state, player_.events,
                                                player_.variables.get(), &player_.sceneWindow);
        player_.sceneExpressions = std::make_unique<SceneExpressions>(player_);
        root->Root().SetServices({.files = player_.files.get(),
                                  .random = &player_.random,
                                  .expressions = player_.sceneExpressions.get()});
        player_.glyphs = std::make_unique<TFontPixelManager>(player_.platform.fonts);
        root->Root().SetGlyphs(player_.glyphs.get());
        player_.scene = std::move(root);
    }
    player_.pictures = MakeProjectPictures(player_);
    player_.scene->SetPictureFiles(player_.pictures.get());
    TextStartup();
    if (TKivoBaseList* root = player_.scene->ObjectRoot()) {
        player_.mediaObjects = std::make_unique<MediaObjectsPort>(*root);
        root->SetHttp(&player_.platform.http);
    }

    player_.StartupTrace("TProject.Create");
    if (player_.Config().projectFactory) player_.project = player_.Config().projectFactory(player_);
    const GameProject* project = player_.project.get();
    const int32_t width = project ? project->ScreenWidth() : 0;
    const int32_t height = project ? project->ScreenHeight() : 0;
    if (project) player_.platform.window.SetTitle(sjis::ToUtf8(project->Title()));

    player_.StartupTrace("MediaInit");
    sceneWidth_ = width;
    sceneHeight_ = height;
    MediaInit();

    player_.StartupTrace("KivoInitColor");
    PlaceScene(width, height);
}

void TFormView::TextStartup() {
    player_.textHistory = std::make_unique<TKivoNewHistory>();
    player_.textRead = std::make_unique<TKivoReadList>();
    // Message windows draw with the scene's own glyph cache; a scene made elsewhere gets one.
    if (!player_.glyphs)
        player_.glyphs = std::make_unique<TFontPixelManager>(player_.platform.fonts);
    if (player_.variables && player_.functions) {
        player_.textExpressions =
            std::make_unique<ScriptTextExpressions>(*player_.variables, *player_.functions);
    }
    TextWorld world;
    world.painter = player_.glyphs.get();
    world.expressions = player_.textExpressions.get();
    world.images = player_.scene->InlineImages();
    world.files = player_.files.get();
    world.variables = player_.variables.get();
    world.history = player_.textHistory.get();
    world.readMarks = player_.textRead.get();
    player_.textHistory->Attach(world);
    player_.scene->SetTextWorld(world);
}

void TFormView::MediaInit() {
    const PlayerConfig& config = player_.Config();
    Clock& clock = player_.platform.clock;
    Clock* threadClock = config.mediaThreads ? &clock : nullptr;
    player_.StartupTrace("MediaInit.kivoInit");
    if (config.media.codecs) player_.codecs = config.media.codecs();
    player_.mixer =
        std::make_unique<TSoundMixer>(player_.platform.audio.Format().sampleRate, threadClock);
    player_.media = std::make_unique<MediaLibrary>(player_.codecs.get(), *player_.mixer, clock);
    player_.media->Init(false);
    player_.platform.audio.SetSource(*player_.mixer);
    player_.StartupTrace("MediaInit.kivoOggmanSetUseThread");
    player_.media->OggmanSetUseThread(player_.state.oggThreading);
    // The screen manager exists only for a real scene size; without one the loop never runs.
    // Full screen lists the modes at least as large as the scene and prefers the project's
    // full-screen size (the scene's when the project names none).
    if (sceneWidth_ > 0 && sceneHeight_ > 0) {
        player_.StartupTrace("MediaInit.TScreenManager.Create");
        const GameProject* project = player_.project.get();
        const int32_t fullWidth = project ? project->FullScreenWidth() : 0;
        const int32_t fullHeight = project ? project->FullScreenHeight() : 0;
        const bool fullSized = fullWidth > 0 && fullHeight > 0;
        player_.screen = std::make_unique<TScreenManager>(
            player_.platform.display, player_.platform.presenter, sceneWidth_, sceneHeight_,
            fullSized ? fullWidth : sceneWidth_, fullSized ? fullHeight : sceneHeight_);
        player_.platform.display.SetSmoothScaling(player_.state.smoothScaling);
    }

    TMediaManagers& managers = player_.managers;
    MediaLibrary& library = *player_.media;
    TVrFileManager& files = *player_.files;
    player_.StartupTrace("MediaInit.TVideoManager.Create");
    managers.video = std::make_unique<TVideoManager>(library, files);
    player_.StartupTrace("MediaInit.TWmpManager.Create");
    managers.wmp = std::make_unique<TWmpManager>(library, files);
    player_.StartupTrace("MediaInit.TOggManager.Create");
    managers.ogg =
        std::make_unique<TOggManager>(library, files, player_.state.directSound,
                                      player_.state.soundDelay, clock, config.mediaThreads);
    player_.StartupTrace("MediaInit.TCddaManager.Create");
    managers.cdda = std::make_unique<TCddaManager>(library, files);
    player_.StartupTrace("MediaInit.TMidiManager.Create");
    player_.midiPorts = config.media.midiPorts ? config.media.midiPorts(MidiSoundFont())
                                               : std::make_unique<NoMidiPorts>();
    managers.midi = std::make_unique<TMidiManager>(files, *player_.midiPorts, *player_.mixer,
                                                   threadClock, config.midiTrace);
    player_.sceneMedia = std::make_unique<SceneMediaService>(managers, files);
    if (TKivoBaseList* root = player_.scene ? player_.scene->ObjectRoot() : nullptr)
        root->SetMedia(player_.sceneMedia.get());
    player_.StartupTrace("MediaInit.end");
}

std::string TFormView::MidiSoundFont() const {
    const std::string& chosen =
        player_.Config().soundFont.empty() ? player_.state.soundFont : player_.Config().soundFont;
    if (chosen.empty() || !player_.Config().soundFont.empty()) return chosen;
    // A name from game.ini is relative to the folder game.ini is in.
    return (player_.HomeFolder() / chosen).string();
}

void TFormView::MediaFinal() {
    TMediaManagers& managers = player_.managers;
    player_.StartupTrace("MediaFinal");
    player_.StartupTrace("ScreenMan.Free");
    if (player_.screen && player_.screen->FullScreen()) player_.sceneWindow.SetFullScreen(false);
    player_.screen.reset();
    // Sounds freed with the scene have given their items back; nothing asks for new ones.
    if (TKivoBaseList* root = player_.scene ? player_.scene->ObjectRoot() : nullptr)
        root->SetMedia(nullptr);
    player_.sceneMedia.reset();
    player_.StartupTrace("VideoMan.Free");
    managers.video.reset();
    player_.StartupTrace("WaveMan.Free");
    player_.StartupTrace("WmpMan.Free");
    managers.wmp.reset();
    player_.StartupTrace("OggMan.Free");
    managers.ogg.reset();
    player_.StartupTrace("CddaMan.Free");
    managers.cdda.reset();
    player_.StartupTrace("MidiMan.Free");
    managers.midi.reset();
    player_.midiPorts.reset();
    player_.StartupTrace("kivoFinal");
    if (player_.media) {
        player_.media->Final();
        player_.media.reset();
    }
    // The output lets go of the mixer before it is freed.
    player_.platform.audio.SetSource(player_.silence);
    player_.mixer.reset();
    player_.codecs.reset();
}

void TFormView::PlaceScene(int32_t sceneWidth, int32_t sceneHeight) {
    if (!player_.state.quitRequest)
        player_.platform.window.ShowWithSceneSize(sceneWidth, sceneHeight);
    player_.scene->SetSize(sceneWidth, sceneHeight);
}

int32_t TFormView::PanelX() const {
    // The client area is as wide as the scene in the window and in full screen.
    return 0;
}

int32_t TFormView::PanelY() const {
    // Full screen centres the scene in a client area of its size, the toolbar coming and going
    // over it; the window keeps the dock above the scene.
    return player_.sceneWindow.FullScreen() ? 0 : player_.platform.window.DockHeight();
}

void TFormView::SwitchFullScreen(bool fullScreen) {
    player_.sceneWindow.SetFullScreen(fullScreen);
}

bool TFormView::CloseRequested() const {
    return closePosted_ || closed_;
}

bool TFormView::Idle() {
    PlayerState& state = player_.state;
    if (state.quitSignal != nullptr && *state.quitSignal != 0) {
        state.quitRequest = true;
        closePosted_ = true;
    }
    if (state.quitRequest || !active_ || closed_ || !player_.screen) return true;

    Clock& clock = player_.platform.clock;
    const uint32_t now = clock.NowMs();
    const uint32_t elapsed = now - state.lastTick;  // unsigned: right across the 32-bit wrap
    if (elapsed > 3000) {
        // A stall or a suspend: dropped, so that animations do not jump.
        state.lastTick = now;
        return false;
    }
    state.lastTick = now;
    // Fast-forward runs several whole steps, each with the game time of a frame, and draws
    // only the last, so the loop keeps pace with the window.
    const int32_t steps = comforts_.StepsPerFrame();
    for (int32_t step = 1; step <= steps && !closePosted_; ++step) {
        state.gameClock += static_cast<int32_t>(elapsed);
        state.frameDelta = static_cast<int32_t>(elapsed);
        player_.platform.audio.OnFrame(state.frameDelta);
        StepFrame(step == steps);
    }

    if (player_.project && player_.project->FramePacing()) {
        const int64_t spent = static_cast<uint32_t>(clock.NowMs() - now);
        clock.SleepMs(static_cast<uint32_t>(std::max<int64_t>(2, state.frameInterval - spent)));
    }
    return false;
}

void TFormView::FrameStep() {
    StepFrame(true);
}

void TFormView::StepFrame(bool draw) {
    PlayerState& state = player_.state;
    GameProject* project = player_.project.get();
    ScenePort* scene = player_.scene.get();
    if (project == nullptr || scene == nullptr) return;

    if (player_.files) player_.files->UpkeepWorkFiles(state.frameDelta);
    // Finished HTTP requests reach their objects in this frame's update.
    player_.platform.http.Pump();
    scene->InputPass();
    project->RunFrame();
    if (state.QuitRequested()) {
        state.quitRequest = true;
        closePosted_ = true;
        return;
    }
    if (!state.oggThreading && player_.media) player_.media->OggmanUpdate();
    scene->FrameAdvance();
    ++state.frameCounter;
    if (project->ServePendingSaveLoad()) skipDrawCount_ = 1;
    if (comforts_.ServeStateRequest()) skipDrawCount_ = 1;
    ShowTextInput();
    if (skipDrawCount_ > 0) {
        // The frame right after a load is interpreted but not drawn.
        --skipDrawCount_;
        return;
    }
    if (!draw) return;
    // A divisor below 1 would divide by zero; it means "draw every frame".
    const int32_t divisor = std::max(state.skipDivisor, 1);
    frameSkipPhase_ = (frameSkipPhase_ + 1) % divisor;
    if (frameSkipPhase_ != 0) return;

    const FrameView frame = scene->Draw(dirty_);
    if (TKivoBaseList* root = scene->ObjectRoot()) DrawTextFields(*root, dirty_);
    if (player_.screen) player_.screen->Present(frame, dirty_);
    comforts_.OnPresented(frame);
    scene->ClearDirty();
    ++presents_;
}

void TFormView::HandleEvent(const InputEvent& event) {
    ScenePort* scene = player_.scene.get();
    if (scene == nullptr || closed_) return;
    PlayerState& state = player_.state;
    switch (event.kind) {
        case InputKind::Activate:
            active_ = true;
            // The time spent without the focus is not game time.
            state.lastTick = player_.platform.clock.NowMs();
            player_.platform.audio.SetPaused(false);
            player_.managers.Resume();
            break;
        case InputKind::Deactivate:
            active_ = false;
            player_.managers.Suspend();
            player_.platform.audio.SetPaused(true);
            scene->FocusLost();
            comforts_.OnFocusLost();
            break;
        case InputKind::KeyDown:
            if (active_) TextFieldKey(event.key);
            if (!active_ || event.key < 0 || event.key >= 256) break;
            if (!event.repeat) {
                scene->SetKeyDown(event.key, true);
                scene->MarkKeyPressed(event.key);
            }
            comforts_.OnKey(event);
            break;
        case InputKind::KeyUp:
            if (event.key >= 0 && event.key < 256) scene->SetKeyDown(event.key, false);
            comforts_.OnKey(event);
            break;
        case InputKind::LeftDown:
        case InputKind::RightDown:
            if (!active_) break;
            scene->SetButtonsHeld(event.kind == InputKind::LeftDown,
                                  event.kind == InputKind::RightDown);
            scene->SetClicks(event.kind == InputKind::LeftDown, event.kind == InputKind::RightDown);
            break;
        case InputKind::LeftUp:
        case InputKind::RightUp:
            scene->SetButtonsHeld(false, false);
            break;
        case InputKind::PointerMove:
            scene->SetPointer(event.x, event.y);
            break;
        case InputKind::WheelDown:
            scene->SetWheelDown();
            break;
        case InputKind::WheelUp:
            scene->SetWheelUp();
            break;
        case InputKind::CloseRequest:
            state.quitRequest = true;
            closePosted_ = true;
            break;
        case InputKind::QuitButton:
            AskQuit();
            break;
        case InputKind::ScreenSwitchButton:
            SwitchFullScreen(!player_.sceneWindow.FullScreen());
            break;
        case InputKind::ComfortMenu:
            if (event.key >= 0 && event.key <= static_cast<int32_t>(ComfortAction::VolumeDown))
                comforts_.Act(static_cast<ComfortAction>(event.key), event.x);
            break;
        case InputKind::TextInput:
            if (TKivoBaseList* root = scene->ObjectRoot(); root != nullptr && active_)
                TypeIntoTextField(*root, event.text);
            break;
        case InputKind::TextEditing:
            if (TKivoBaseList* root = scene->ObjectRoot(); root != nullptr && active_)
                SetTextFieldComposition(*root, event.text);
            break;
    }
}

void TFormView::TextFieldKey(int32_t key) {
    TKivoBaseList* root = player_.scene->ObjectRoot();
    if (root == nullptr) return;
    constexpr int32_t kVkShift = 0x10, kVkControl = 0x11;
    const bool control = root->Keys().Down(kVkControl);
    const bool shift = root->Keys().Down(kVkShift);
    if (!TextFieldKeyDown(*root, key, control, shift) || !control) return;
    InputSource& input = player_.platform.input;
    if (key == 'V') {
        TypeIntoTextField(*root, input.ClipboardText());
    } else if (key == 'C' || key == 'X') {
        // An empty selection leaves the clipboard as it was.
        const std::string copied = CopyFromTextField(*root, key == 'X');
        if (!copied.empty()) input.SetClipboardText(copied);
    }
}

void TFormView::ShowTextInput() {
    TKivoBaseList* root = player_.scene ? player_.scene->ObjectRoot() : nullptr;
    TKivoCustomEdit* field = root != nullptr ? FocusedTextField(*root) : nullptr;
    if (field == nullptr) {
        player_.platform.input.SetTextInput(false, 0, 0, 0, 0);
        return;
    }
    const TRect caret = field->CaretRect();
    player_.platform.input.SetTextInput(true, caret.Left, caret.Top, caret.Width(), caret.Height());
}

void TFormView::AskQuit() {
    PlayerState& state = player_.state;
    const bool previous = state.quitRequest;
    state.quitRequest = true;
    const std::string title =
        player_.project ? sjis::ToUtf8(player_.project->Title()) : std::string();
    const DialogAnswer answer = player_.platform.dialogs.Show(
        QuitQuestionText(title), title, DialogIcon::Question, DialogButtons::YesNo);
    if (answer == DialogAnswer::Yes) {
        closePosted_ = true;
    } else {
        state.quitRequest = previous;
    }
}

void TFormView::FormClose() {
    if (closed_) return;
    closed_ = true;
    player_.state.quitRequest = true;

    player_.StartupTrace("Project.Free");
    if (player_.project) {
        player_.lastPosition = player_.project->Position();
        // A failed start-up never reached the loop, so the game never began and has no exit
        // page to run; the project is only freed.
        if (started_) player_.project->Close();
        player_.project.reset();
    }
    player_.saves.reset();
    player_.StartupTrace("SysFuncMan.Free");
    player_.functions.reset();
    if (beforeVariablesFreed) beforeVariablesFreed(player_);
    if (player_.scene) {
        player_.scene->ReleaseVariables();
        player_.scene->SetTextWorld({});
    }
    if (player_.textHistory) player_.textHistory->Detach();
    player_.textExpressions.reset();
    player_.StartupTrace("ParamMan.Free");
    player_.variables.reset();

    player_.StartupTrace("KivoFinalize");
    player_.StartupTrace("TextRead.Free");
    player_.textRead.reset();
    player_.StartupTrace("TextHistory.Free");
    player_.textHistory.reset();
    player_.StartupTrace("Bases.Free");
    if (beforeSceneFreed) beforeSceneFreed(player_);
    player_.mediaObjects.reset();
    player_.scene.reset();
    player_.glyphs.reset();
    player_.StartupTrace("SelRectDIB.Free");
    player_.StartupTrace("TransBGDIB.Free");
    player_.StartupTrace("GaleMan.Free");

    MediaFinal();
    player_.platform.audio.Close();
    player_.StartupTrace("FormClose");
}

}  // namespace kivo
