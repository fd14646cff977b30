#pragma once
// The media managers of a player and the routing of sound files to them by type. The shell
// makes and frees the five managers one by one, in its start-up and shutdown orders; the sound
// objects of the scene ask for items through AddSound and drive them as TDMediaItem.

#include <memory>
#include <string_view>

#include "media/cdda_manager.h"
#include "media/midi_manager.h"
#include "media/ogg_manager.h"
#include "media/video_manager.h"
#include "media/wmp_manager.h"

namespace kivo {

enum class MediaRoute {
    None,          // plays nothing
    Midi,          // .mid, and .sgt (whose songs are empty)
    WindowsMedia,  // .wma, .asf, .wmv
    Ogg,           // .ogg, .wav
    Cdda,          // a name beginning with "CD_"
};

// The manager a sound file goes to, by its extension compared in lower case, else by a name
// beginning with "CD_".
[[nodiscard]] MediaRoute RouteSoundFile(std::string_view fileName);

struct TMediaManagers {
    std::unique_ptr<TVideoManager> video;
    std::unique_ptr<TWmpManager> wmp;
    std::unique_ptr<TOggManager> ogg;
    std::unique_ptr<TCddaManager> cdda;
    std::unique_ptr<TMidiManager> midi;

    // A new item for the sound file, from the manager its type goes to; null when the type
    // plays nothing or that manager does not exist. Raises KivoError when the wave output
    // cannot play the file (Ogg and WAV with the DirectSound setting off).
    [[nodiscard]] TDMediaItem* AddSound(std::string_view fileName);
    // Frees an item made by AddSound.
    void RemoveSound(TDMediaItem* item);

    // The application lost the focus (or entered a menu or move loop): films pause, then the
    // Windows Media, Ogg, CD and MIDI managers suspend. Resume undoes it in the same order.
    void Suspend();
    void Resume();

    // The game's sound switch: every manager but the films' goes inactive or active.
    void SetSoundOn(bool on);
};

}  // namespace kivo
