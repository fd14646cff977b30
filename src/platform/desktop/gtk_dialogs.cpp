#include "platform/desktop/gtk_dialogs.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/desktop/gtk/gtk_toolkit.h"
#include "platform/shared_module.h"

namespace kivo {

GtkDialogs::GtkDialogs() : GtkDialogs(SharedModule::ProgramModuleFolders()) {}

GtkDialogs::GtkDialogs(std::vector<std::filesystem::path> moduleFolders)
    : moduleFolders_(std::move(moduleFolders)) {}

FolderChoice GtkDialogs::ChooseGameFolder(const GameFolderRequest& request) {
    if (!UsesGtk()) return ChooseFolderOnConsole(request);
    return gtk_->chooseGameFolder(request);
}

FolderChoice GtkDialogs::ChooseFolderOnConsole(const GameFolderRequest& request) {
    std::cerr << "[folder] " << request.title << '\n';
    for (size_t i = 0; i < request.recent.size(); ++i)
        std::cerr << "  " << i << ") " << request.recent[i].string() << '\n';
    if (isatty(STDIN_FILENO) == 0) return FolderChoice{};
    for (;;) {
        std::cerr << (request.recent.empty() ? "(folder, or nothing to cancel) "
                                             : "(number or folder, nothing to cancel) ")
                  << std::flush;
        std::string reply;
        if (!std::getline(std::cin, reply) || reply.empty()) {
            return FolderChoice{FolderChoiceStatus::Cancelled, {}};
        }
        std::filesystem::path folder(reply);
        size_t index = 0;
        const std::from_chars_result read =
            std::from_chars(reply.data(), reply.data() + reply.size(), index);
        if (read.ec == std::errc() && read.ptr == reply.data() + reply.size() &&
            index < request.recent.size()) {
            folder = request.recent[index];
        }
        if (request.holdsGame && request.holdsGame(folder)) {
            return FolderChoice{FolderChoiceStatus::Chosen, std::move(folder)};
        }
        std::cerr << NotAGameText(folder.string()) << '\n';
    }
}

bool GtkDialogs::EditSoundSettings(SoundSettingsControls& controls) {
    if (!UsesGtk()) {
        std::cerr << "[settings] 動作設定: no display to show the settings on; nothing changed\n";
        return false;
    }
    return gtk_->editSoundSettings(controls);
}

bool GtkDialogs::UsesGtk() {
    if (!gtkTried_) {
        gtkTried_ = true;
        gtk_ = OpenGtkModule();
        gtkReady_ = gtk_ != nullptr && gtk_->open();
    }
    return gtkReady_;
}

const GtkDialogTable* GtkDialogs::OpenGtkModule() const {
    try {
        return &SharedModule::OpenTable<GtkDialogTable>(kGtkModuleFile, "dialogs", kGtkModuleEntry,
                                                        kGtkModuleVersion, moduleFolders_);
    } catch (const KivoError& error) {
        // The questions still reach the person at the terminal; say once why they come there.
        std::cerr << "kivoplay: " << error.what() << "; dialogs go to the console\n";
        return nullptr;
    }
}

bool GtkDialogs::Unattended() {
    return !UsesGtk() && isatty(STDIN_FILENO) == 0;
}

DialogAnswer GtkDialogs::Show(std::string_view text, std::string_view caption, DialogIcon icon,
                              DialogButtons buttons) {
    if (!UsesGtk()) return ShowOnConsole(text, caption, icon, buttons);
    // Closed without a button.
    return gtk_->show(text, caption, icon, buttons)
        .value_or(FitAnswer(DialogAnswer::Cancel, buttons));
}

size_t GtkDialogs::ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                  std::string_view button) {
    if (lines.empty()) return 0;
    if (!UsesGtk()) return ChooseOnConsole(title, lines);
    return gtk_->chooseFromList(title, lines, button);
}

size_t GtkDialogs::ChooseOnConsole(std::string_view title, std::span<const std::string> lines) {
    std::cerr << "[list] " << title << '\n';
    for (size_t i = 0; i < lines.size(); ++i)
        std::cerr << "  " << i << ") " << lines[i] << '\n';
    if (isatty(STDIN_FILENO) == 0) return 0;
    std::cerr << "(0-" << lines.size() - 1 << ") " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) return 0;
    size_t choice = 0;
    const std::from_chars_result read =
        std::from_chars(reply.data(), reply.data() + reply.size(), choice);
    return read.ec == std::errc() && choice < lines.size() ? choice : 0;
}

DialogAnswer GtkDialogs::ShowOnConsole(std::string_view text, std::string_view caption,
                                       DialogIcon icon, DialogButtons buttons) {
    std::cerr << '[' << DialogIconName(icon) << "] " << caption << ": " << text << '\n';
    if (isatty(STDIN_FILENO) == 0 || buttons == DialogButtons::Ok) return DefaultAnswer(buttons);
    std::cerr << (buttons == DialogButtons::YesNo ? "(y/n) " : "(ok/cancel) ") << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) return DefaultAnswer(buttons);
    const bool affirmative = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y' ||
                                                reply[0] == 'o' || reply[0] == 'O');
    return FitAnswer(affirmative ? DialogAnswer::Ok : DialogAnswer::Cancel, buttons);
}

}  // namespace kivo
