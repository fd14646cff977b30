#include "media/wmp_manager.h"

#include <exception>
#include <vector>

namespace kivo {

namespace {

int32_t AddWmpItem(MediaLibrary& library, TVrFileManager& files, std::string_view fileName) {
    std::vector<uint8_t> data;
    try {
        data = files.Load(fileName);
    } catch (const std::exception&) {
        data.clear();
    }
    return library.WmpmanAdd(data, fileName);
}

}  // namespace

TWmpItem::TWmpItem(TWmpManager& manager, std::string_view fileName) : manager_(manager) {
    Link(manager, manager.Library().Wmp(), AddWmpItem(manager.Library(), manager.Files(), fileName),
         true);
}

TWmpItem::~TWmpItem() {
    manager_.Library().WmpmanDel(Handle());
}

TDMediaItem* TWmpManager::Add(std::string_view fileName) {
    return Append(std::make_unique<TWmpItem>(*this, fileName));
}

}  // namespace kivo
