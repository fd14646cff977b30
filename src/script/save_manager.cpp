#include "script/save_manager.h"

#include <algorithm>
#include <system_error>

#include "base/error.h"
#include "script/call_man.h"

namespace kivo {

namespace {

constexpr std::string_view kStatusTag = "Status";
constexpr size_t kStatusHeaderSize = 9;
constexpr std::string_view kWarningCaption = "警告";

// The version in a status header, "Status" and three digits; 0 when they are not digits.
int32_t StatusVersionOf(std::span<const uint8_t> header) {
    int32_t version = 0;
    for (size_t i = kStatusTag.size(); i < kStatusHeaderSize; ++i) {
        const uint8_t c = header[i];
        if (c < '0' || c > '9') return 0;
        version = version * 10 + (c - '0');
    }
    return version;
}

}  // namespace

TSaveManager::TSaveManager(const SaveServices& services, TSaveFile file)
    : services_(services), file_(std::move(file)) {}

// ---- Requests ---------------------------------------------------------------------------------

void TSaveManager::RequestSave(int32_t slot, std::string_view caption, std::string_view resumePage,
                               int32_t resumeIndex) {
    pendingSaveSlot_ = slot;
    pendingSaveCaption_ = caption;
    pendingSavePage_ = resumePage;
    pendingSaveIndex_ = resumeIndex;
}

void TSaveManager::RequestLoad(int32_t slot) {
    pendingLoadSlot_ = slot;
}

std::string TSaveManager::CaptionOf(int32_t slot) const {
    for (const SaveCaption& line : captions_) {
        if (line.slot == slot) return line.caption;
    }
    return {};
}

bool TSaveManager::ServePending() {
    bool loaded = false;
    if (pendingLoadSlot_ >= 0) {
        const int32_t slot = pendingLoadSlot_;
        pendingLoadSlot_ = -1;
        LoadGame(slot);
        loaded = true;
    }
    if (pendingSaveSlot_ >= 0) {
        // The request goes first, so that a save that fails is not tried again every frame.
        const int32_t slot = pendingSaveSlot_;
        pendingSaveSlot_ = -1;
        // A load that failed half-way leaves a half-restored game that is about to end; saving
        // it would put that over a good save.
        if (!services_.player.quitRequest) {
            SaveGame(slot, pendingSaveCaption_, pendingSavePage_, pendingSaveIndex_);
        }
    }
    return loaded;
}

// ---- Saving -----------------------------------------------------------------------------------

std::vector<uint8_t> TSaveManager::GameEntry(std::string_view caption, std::string_view resumePage,
                                             int32_t resumeIndex) const {
    ByteWriter writer;
    writer.WriteI32(kGameSaveVersion);
    writer.WriteCountedString(caption);
    writer.WriteCountedString(resumePage);
    writer.WriteI32(resumeIndex);
    services_.scene.Save(writer);
    services_.backlog.Save(writer);
    if (interpreter_ != nullptr) interpreter_->SaveState(writer);
    services_.variables.SaveGameVariables(writer);
    services_.tables.Save(writer, false);
    return writer.Take();
}

void TSaveManager::SaveGame(int32_t slot, std::string_view caption, std::string_view resumePage,
                            int32_t resumeIndex) {
    if (caption.empty() || slot < 0 || interpreter_ == nullptr) return;
    // The status data stored after the game goes into the same rewrite of save.dat: the file
    // comes out as two rewrites would leave it, and the other slots are copied once.
    std::vector<SaveFileEntry> entries;
    entries.push_back({GameEntryName(slot), GameEntry(caption, resumePage, resumeIndex)});
    if (StatusWritable()) entries.push_back({std::string(kStatusEntryName), StatusEntry()});
    try {
        file_.ReplaceEntries(std::move(entries));
    } catch (const KivoError& error) {
        // The old file and the captions stay as they were; the game goes on.
        Warn(std::string("the game was not saved: ") + error.what());
        return;
    }
    auto line = std::find_if(captions_.begin(), captions_.end(),
                             [slot](const SaveCaption& c) { return c.slot == slot; });
    if (line != captions_.end()) {
        line->caption = caption;
    } else {
        captions_.push_back({std::string(caption), slot});
    }
}

std::vector<uint8_t> TSaveManager::StatusEntry() const {
    ByteWriter writer;
    const std::string tag = std::string(kStatusTag) + std::to_string(kStatusVersion);
    writer.WriteBytes(std::span(reinterpret_cast<const uint8_t*>(tag.data()), tag.size()));
    services_.variables.SaveStatusVariables(writer);
    services_.readMarks.Save(writer);
    services_.dither.Save(writer);
    services_.tables.Save(writer, true);
    return writer.Take();
}

void TSaveManager::StoreStatus() {
    if (!StatusWritable()) return;
    const std::vector<uint8_t> entry = StatusEntry();
    try {
        file_.ReplaceEntry(kStatusEntryName, entry);
    } catch (const KivoError& error) {
        WarnOnce(statusWriteWarned_,
                 std::string("the status data was not stored: ") + error.what());
    }
}

// ---- Loading ----------------------------------------------------------------------------------

void TSaveManager::LoadGame(int32_t slot) {
    if (interpreter_ == nullptr || slot < 0) return;
    const std::string source = file_.ReadPath().string();
    try {
        const std::optional<std::vector<uint8_t>> entry = file_.ReadEntry(GameEntryName(slot));
        if (!entry) return;
        RestoreGame(*entry, source);
    } catch (const std::exception& error) {
        services_.player.quitRequest = true;
        Warn(std::string("the saved game of slot ") + std::to_string(slot) +
             " cannot be loaded: " + error.what());
        (void)services_.dialogs.Show(kUnusableSaveText, kWarningCaption, DialogIcon::Warning,
                                     DialogButtons::Ok);
    }
}

void TSaveManager::RestoreGame(std::span<const uint8_t> entry, const std::string& source) {
    ByteReader reader(entry, source);
    const int32_t version = reader.ReadI32();
    // A newer player's save would be misread field by field; it is refused like an old one.
    if (version < kOldestLoadableSaveVersion || version > kGameSaveVersion) {
        reader.Fail("save version " + std::to_string(version) + " cannot be loaded");
    }
    (void)reader.ReadCountedString();  // the caption, listed from the file's entries
    const std::string resumePage = reader.ReadCountedString();
    const int32_t resumeIndex = reader.ReadI32();
    services_.scene.Load(reader, version);
    services_.backlog.Load(reader, version);
    if (interpreter_ == nullptr) reader.Fail("no interpreter to restore");
    interpreter_->LoadState(reader, version);
    if (!resumePage.empty()) interpreter_->EnterResumePage(resumePage, resumeIndex);
    services_.variables.LoadGameVariables(reader, version);
    if (version > kSaveVersionNoTables) services_.tables.Load(reader, false);
    services_.scene.FinishLoad();
}

void TSaveManager::RestoreStatus(std::span<const uint8_t> entry, const std::string& source) {
    ByteReader reader(entry, source);
    int32_t version = 0;
    if (entry.size() >= kStatusHeaderSize &&
        std::equal(kStatusTag.begin(), kStatusTag.end(), entry.begin())) {
        version = StatusVersionOf(entry.first(kStatusHeaderSize));
        reader.Skip(kStatusHeaderSize);
    }
    services_.variables.LoadStatusVariables(reader);
    services_.readMarks.Load(reader, version);
    if (version > kStatusVersionDither) services_.dither.Load(reader, version);
    if (version > kStatusVersionTables) services_.tables.Load(reader, true);
}

void TSaveManager::ReadStatusAndCaptions() {
    captions_.clear();
    if (!file_.Exists()) return;
    const std::string source = file_.ReadPath().string();
    TVrFileCollection archive;
    try {
        file_.Open(archive);
    } catch (const KivoError& error) {
        // A save.dat that cannot be read would otherwise stop every start; it is kept aside
        // for rescue and the game starts without saves.
        const bool moved = file_.MoveAside();
        file_.ForgetSeed();
        Warn(std::string(error.what()) +
             (moved ? "; moved aside as save.dat.bad, starting without saves"
                    : "; starting without saves"));
        return;
    }
    ReadCaptions(archive);
    const TVrFile* status = archive.FindFile(kStatusEntryName);
    if (status == nullptr) return;
    try {
        RestoreStatus(archive.ReadEntry(*status), source);
    } catch (const KivoError& error) {
        // The next status store replaces the damaged entry, so its bytes are kept aside
        // first; where that cannot be done the entry is left alone for this run.
        statusBlocked_ = !file_.KeepCopyAside();
        Warn(std::string("the status data was not read: ") + error.what() +
             (statusBlocked_ ? "; it is left as it is" : "; a copy is kept as save.dat.bad"));
    }
}

void TSaveManager::ReadCaptions(const TVrFileCollection& archive) {
    for (const TVrFile* entry : archive.Files()) {
        const std::optional<int32_t> slot = SlotOfEntryName(entry->Name());
        if (!slot) continue;
        try {
            const std::vector<uint8_t> content = archive.ReadEntry(*entry);
            ByteReader reader(content, archive.ArchivePath().string());
            (void)reader.ReadI32();
            captions_.push_back({reader.ReadCountedString(), *slot});
        } catch (const KivoError& error) {
            Warn(std::string("a saved game is damaged and not listed: ") + error.what());
        }
    }
}

// ---- Reports ----------------------------------------------------------------------------------

void TSaveManager::Warn(const std::string& text) {
    services_.warnings << "kivoplay: " << text << '\n';
}

void TSaveManager::WarnOnce(bool& warned, const std::string& text) {
    if (warned) return;
    warned = true;
    Warn(text);
}

}  // namespace kivo
