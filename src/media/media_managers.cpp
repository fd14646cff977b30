#include "media/media_managers.h"

#include <string>

#include "base/sjis.h"

namespace kivo {

namespace {

std::string LowerExtension(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view extension = fileName.substr(dot);
    if (extension.find_first_of("\\/") != std::string_view::npos) return {};
    return sjis::ToLowerAscii(extension);
}

}  // namespace

MediaRoute RouteSoundFile(std::string_view fileName) {
    const std::string extension = LowerExtension(fileName);
    if (extension.size() == 4 &&
        std::string_view(".mid.sgt").find(extension) != std::string_view::npos)
        return MediaRoute::Midi;
    if (extension == ".wma" || extension == ".asf" || extension == ".wmv")
        return MediaRoute::WindowsMedia;
    if (extension == ".ogg" || extension == ".wav") return MediaRoute::Ogg;
    if (fileName.substr(0, 3) == "CD_") return MediaRoute::Cdda;
    return MediaRoute::None;
}

TDMediaItem* TMediaManagers::AddSound(std::string_view fileName) {
    switch (RouteSoundFile(fileName)) {
        case MediaRoute::None:
            return nullptr;
        case MediaRoute::Midi:
            return midi ? midi->Add(fileName) : nullptr;
        case MediaRoute::WindowsMedia:
            return wmp ? wmp->Add(fileName) : nullptr;
        case MediaRoute::Ogg:
            return ogg ? ogg->Add(fileName) : nullptr;
        case MediaRoute::Cdda:
            return cdda ? cdda->Add(fileName) : nullptr;
    }
    return nullptr;
}

void TMediaManagers::RemoveSound(TDMediaItem* item) {
    if (item == nullptr) return;
    for (TMediaManager* manager :
         {static_cast<TMediaManager*>(wmp.get()), static_cast<TMediaManager*>(ogg.get()),
          static_cast<TMediaManager*>(cdda.get()), static_cast<TMediaManager*>(midi.get())}) {
        if (manager != nullptr) manager->Remove(item);
    }
}

void TMediaManagers::Suspend() {
    if (video) video->SuspendAll();
    if (wmp) wmp->Suspend();
    if (ogg) ogg->Suspend();
    if (cdda) cdda->Suspend();
    if (midi) midi->Suspend();
}

void TMediaManagers::Resume() {
    if (video) video->ResumeAll();
    if (wmp) wmp->Resume();
    if (ogg) ogg->Resume();
    if (cdda) cdda->Resume();
    if (midi) midi->Resume();
}

void TMediaManagers::SetSoundOn(bool on) {
    if (wmp) wmp->SetActive(on);
    if (ogg) ogg->SetActive(on);
    if (cdda) cdda->SetActive(on);
    if (midi) midi->SetActive(on);
}

}  // namespace kivo
