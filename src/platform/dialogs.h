#pragma once
// Modal message dialogs: the warning, information, question and error boxes of start-up
// failures, script messages and the quit question; and the small list from which the user
// picks one image of a multi-image icon or cursor file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

enum class DialogIcon { Warning, Information, Question, Error };
enum class DialogButtons { Ok, OkCancel, YesNo };
enum class DialogAnswer { Ok, Cancel, Yes, No };

// The controls of the sound settings dialog: the DirectSound check box and the position of the
// delay track bar, 1 to 5 (hundreds of milliseconds).
struct SoundSettingsControls {
    bool directSound = true;
    int32_t delayPosition = 5;
};

// What the game folder chooser offers: the games played last (newest first, each still a game
// folder), and the test a chosen folder must pass to be taken.
struct GameFolderRequest {
    std::string title;  // UTF-8
    std::vector<std::filesystem::path> recent;
    std::function<bool(const std::filesystem::path&)> holdsGame;
};

enum class FolderChoiceStatus {
    Chosen,      // folder holds a game
    Cancelled,   // the person at the screen closed the chooser
    Unanswered,  // nobody is there to ask (no display and no terminal, no scripted answer)
};

struct FolderChoice {
    FolderChoiceStatus status = FolderChoiceStatus::Unanswered;
    std::filesystem::path folder;  // when Chosen
};

class MessageDialogs {
  public:
    virtual ~MessageDialogs() = default;

    // Shows text under caption with the icon and buttons and waits for the answer. Text and
    // caption are UTF-8 (callers convert CP932 first). Called on the main thread, rarely; it
    // blocks until answered. The answer is always one of the given buttons; closing the box
    // without a button counts as Cancel for OK/Cancel, No for Yes/No and OK for OK.
    [[nodiscard]] virtual DialogAnswer Show(std::string_view text, std::string_view caption,
                                            DialogIcon icon, DialogButtons buttons) = 0;

    // Shows lines as a list under title with the one button and waits until the user picks a
    // line. Called on the main thread, rarely, by loaders that must choose one of several
    // pictures (TDIBSurface::LoadFromFile for an icon or cursor file holding more than one
    // image); it blocks until answered. Texts are UTF-8; lines is not empty (an empty list
    // answers 0 without showing anything). Returns the index of the chosen line, always
    // below lines.size(); closing or cancelling the dialog picks the first line (0). The
    // default, for services that cannot show a list, picks the first line.
    [[nodiscard]] virtual size_t ChooseFromList(std::string_view title,
                                                std::span<const std::string> lines,
                                                std::string_view button);

    // True when nobody will answer the next message dialog (no display and no terminal, or a
    // headless run whose scripted answers are used up), so it gets its default answer. A
    // question that waits for the world to change, such as a disc going in, must not be asked
    // again and again on such answers: it would never end.
    [[nodiscard]] virtual bool Unattended() { return false; }

    // Shows the sound settings dialog ("動作設定") with controls as they start and waits until it
    // closes. True for OK, with controls as the user left them; false for Cancel, Esc or the
    // close box, with controls unchanged. The default, for services that cannot show it,
    // cancels, so that nothing is written that nobody chose.
    [[nodiscard]] virtual bool EditSoundSettings(SoundSettingsControls& controls);

    // Asks for the folder of a game to play, offering the recent games, and waits for the
    // answer. Called on the main thread once, before start-up, by a player started without a
    // game. A folder that fails request.holdsGame is never returned: the chooser says so and
    // asks again. The default, for services that cannot ask, is Unanswered.
    [[nodiscard]] virtual FolderChoice ChooseGameFolder(const GameFolderRequest& request);
};

// The answer a dialog with these buttons gives when nobody chooses: OK, or Yes.
[[nodiscard]] DialogAnswer DefaultAnswer(DialogButtons buttons);

// Fits a wanted answer to the buttons shown: OK and Yes are the same choice, Cancel and No are
// the same choice, and an OK box can only answer OK.
[[nodiscard]] DialogAnswer FitAnswer(DialogAnswer wanted, DialogButtons buttons);

[[nodiscard]] std::string_view DialogIconName(DialogIcon icon);
[[nodiscard]] std::string_view DialogAnswerName(DialogAnswer answer);

}  // namespace kivo
