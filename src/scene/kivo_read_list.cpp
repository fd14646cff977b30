#include "scene/kivo_read_list.h"

#include <algorithm>
#include <memory>

namespace kivo {

bool TKivoRead::Contains(int32_t command, int32_t page) const {
    return std::find(marks_.begin(), marks_.end(), std::pair{command, page}) != marks_.end();
}

void TKivoRead::Add(int32_t command, int32_t page) {
    if (!Contains(command, page)) marks_.emplace_back(command, page);
}

bool TKivoReadList::IsRead(std::string_view pageFile, int32_t command, int32_t page) const {
    const TKivoRead* item = items_.Find(pageFile);
    return item != nullptr && item->Contains(command, page);
}

void TKivoReadList::SetPending(std::string window, std::string pageFile, int32_t page,
                               int32_t command) {
    pending_ = true;
    pendingWindow_ = std::move(window);
    pendingFile_ = std::move(pageFile);
    pendingPage_ = page;
    pendingCommand_ = command;
}

void TKivoReadList::Commit(std::string_view window) {
    if (!pending_ || pendingWindow_ != window) return;
    TKivoRead* item = items_.Find(pendingFile_);
    if (item == nullptr) item = &items_.Add(std::make_unique<TKivoRead>(), pendingFile_);
    item->Add(pendingCommand_, pendingPage_);
    DropPending(window);
}

void TKivoReadList::DropPending(std::string_view window) {
    if (!pending_ || pendingWindow_ != window) return;
    pending_ = false;
    pendingFile_.clear();
    pendingWindow_.clear();
    pendingCommand_ = pendingPage_ = 0;
}

void TKivoReadList::Clear() {
    items_.Clear();
    pending_ = false;
    pendingFile_.clear();
    pendingWindow_.clear();
    pendingCommand_ = pendingPage_ = 0;
}

void TKivoReadList::Save(ByteWriter& writer) const {
    writer.WriteI32(items_.Count());
    for (int32_t i = 0; i < items_.Count(); ++i) {
        const TKivoRead& item = items_.At(i);
        writer.WriteCountedString(item.Name());
        writer.WriteI32(static_cast<int32_t>(item.Marks().size()));
        for (const auto& mark : item.Marks())
            writer.WriteI32(mark.first);
        for (const auto& mark : item.Marks())
            writer.WriteI32(mark.second);
    }
    writer.WriteCountedString(pending_ ? pendingFile_ : std::string());
    writer.WriteI32(pending_ ? pendingCommand_ : 0);
    writer.WriteI32(pending_ ? pendingPage_ : 0);
    writer.WriteCountedString(pending_ ? pendingWindow_ : std::string());
}

void TKivoReadList::Load(ByteReader& reader, int32_t version) {
    if (version < kSaveVersionReadMarks) return;
    // Read whole before anything changes.
    HashCollection<TKivoRead> items;
    const uint32_t count = reader.ReadCount(4 + 4);
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = reader.ReadCountedString();
        const uint32_t marks = reader.ReadCount(4 + 4);
        std::vector<int32_t> commands(marks);
        for (int32_t& command : commands)
            command = reader.ReadI32();
        TKivoRead* item = items.Find(name);
        if (item == nullptr) item = &items.Add(std::make_unique<TKivoRead>(), std::move(name));
        for (int32_t& command : commands)
            item->Add(command, reader.ReadI32());
    }
    std::string file = reader.ReadCountedString();
    const int32_t command = reader.ReadI32();
    const int32_t page = reader.ReadI32();
    std::string window = reader.ReadCountedString();

    items_.Clear();
    for (int32_t i = 0; i < items.Count(); ++i) {
        const TKivoRead& loaded = items.At(i);
        TKivoRead& item = items_.Add(std::make_unique<TKivoRead>(), loaded.Name());
        for (const auto& mark : loaded.Marks())
            item.Add(mark.first, mark.second);
    }
    // A pending mark names the window it belongs to; without a file there is none.
    pending_ = !file.empty();
    pendingFile_ = std::move(file);
    pendingCommand_ = command;
    pendingPage_ = page;
    pendingWindow_ = pending_ ? std::move(window) : std::string();
}

}  // namespace kivo
