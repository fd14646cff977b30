#include "platform/dialogs.h"

namespace kivo {

size_t MessageDialogs::ChooseFromList(std::string_view, std::span<const std::string>,
                                      std::string_view) {
    return 0;
}

bool MessageDialogs::EditSoundSettings(SoundSettingsControls&) {
    return false;
}

FolderChoice MessageDialogs::ChooseGameFolder(const GameFolderRequest&) {
    return FolderChoice{};
}

DialogAnswer DefaultAnswer(DialogButtons buttons) {
    switch (buttons) {
        case DialogButtons::Ok:
        case DialogButtons::OkCancel:
            return DialogAnswer::Ok;
        case DialogButtons::YesNo:
            return DialogAnswer::Yes;
    }
    return DialogAnswer::Ok;
}

DialogAnswer FitAnswer(DialogAnswer wanted, DialogButtons buttons) {
    bool affirmative = false;
    switch (wanted) {
        case DialogAnswer::Ok:
        case DialogAnswer::Yes:
            affirmative = true;
            break;
        case DialogAnswer::Cancel:
        case DialogAnswer::No:
            affirmative = false;
            break;
    }
    switch (buttons) {
        case DialogButtons::Ok:
            return DialogAnswer::Ok;
        case DialogButtons::OkCancel:
            return affirmative ? DialogAnswer::Ok : DialogAnswer::Cancel;
        case DialogButtons::YesNo:
            return affirmative ? DialogAnswer::Yes : DialogAnswer::No;
    }
    return DialogAnswer::Ok;
}

std::string_view DialogIconName(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Warning:
            return "warning";
        case DialogIcon::Information:
            return "information";
        case DialogIcon::Question:
            return "question";
        case DialogIcon::Error:
            return "error";
    }
    return "warning";
}

std::string_view DialogAnswerName(DialogAnswer answer) {
    switch (answer) {
        case DialogAnswer::Ok:
            return "ok";
        case DialogAnswer::Cancel:
            return "cancel";
        case DialogAnswer::Yes:
            return "yes";
        case DialogAnswer::No:
            return "no";
    }
    return "ok";
}

}  // namespace kivo
