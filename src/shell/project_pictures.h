#pragma once
// The image cache's view of the game's files: pictures come from the player's virtual file
// manager, and protected GAL files are unlocked with the project's identification code.

#include <memory>

#include "scene/gale_collection.h"

namespace kivo {

class Player;

// Reads through the player's members as they stand at each load, so that it can be made
// before the project exists; the player must outlive it.
[[nodiscard]] std::unique_ptr<PictureFiles> MakeProjectPictures(Player& player);

}  // namespace kivo
