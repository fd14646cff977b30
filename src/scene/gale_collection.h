#pragma once
// The image cache: decoded pictures shared by every scene object that shows the same file.
//
// An object asks for a picture with Acquire(user, name, trim, mask) and gives it back with
// Release(item, user) when it drops it (a new source, its destruction). The item's frames and
// their surfaces stay valid, unchanged, for as long as the user holds the item: objects borrow
// the frame surfaces and draw them directly. Each Acquire is one holding; an object that
// acquires one item twice (a map image whose base and hover pictures are one file, a button's
// states) releases it twice, and the item stays in use until the last holding goes.
//
// Items nobody holds wait on the released list, oldest first, so that a picture shown again
// soon is not decoded again. When the released items together pass kReleasedBudget bytes the
// oldest are freed, but the newest released item is always kept.
//
// Keys: the virtual file name, then "?m" when masks are built from the colour key, then "?t"
// when frames are trimmed to their opaque bounds. A missing file gives one transparent 8 x 8
// frame and no error; a damaged file raises the reader's error, naming the file, and leaves no
// item behind.
//
// Invalidate(name) is called after a script wrote a picture file: items of that file nobody
// holds are freed, and items in use leave the index, so that the next Acquire reads the new
// file while the objects holding the old item keep drawing it until they release it (it is
// then freed). An item is never reloaded under a user.
//
// One cache lives in the scene root, one per player, on the main thread. Users are object
// handles; the cache must outlive every object that holds an item (the root frees its objects
// before its cache).

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/byte_io.h"
#include "base/rect.h"
#include "imaging/dibx.h"
#include "scene/object_handle.h"

namespace kivo {

// Where the cache reads its files: the game's virtual files and the project's identification
// code (the key of protected GAL files). Called on the main thread while a picture loads.
class PictureFiles {
  public:
    virtual ~PictureFiles() = default;
    // The file's bytes, or nothing when the game has no such file.
    [[nodiscard]] virtual std::optional<std::vector<uint8_t>> Load(std::string_view name) = 0;
    [[nodiscard]] virtual int32_t IdentificationCode() const = 0;
};

// One decoded frame of a cached picture.
struct TGaleItemFrame {
    TDIBX surface;
    // The 8-bit alpha mask, null when the frame has none.
    std::unique_ptr<TDIBX> mask;
    // The frame's transparent colour (0x00BBGGRR, -1 none) and its pixel in the surface.
    int32_t transparentColor = -1;
    TColorKey key;
    // Display time in ms, at least 1.
    int32_t delay = 1;
    // Where a trimmed frame sits inside the whole picture.
    int32_t offsetX = 0;
    int32_t offsetY = 0;
    // The parts of the picture the frame changes (from the file), in surface pixels.
    std::vector<TRect> updateRects;
};

class TGaleItem {
  public:
    [[nodiscard]] const std::string& Key() const { return key_; }
    [[nodiscard]] const std::string& FileName() const { return fileName_; }
    [[nodiscard]] int32_t FrameCount() const { return static_cast<int32_t>(frames_.size()); }
    [[nodiscard]] TGaleItemFrame& Frame(int32_t index) {
        return *frames_[static_cast<size_t>(index)];
    }
    // The size of the first frame.
    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    // The sum of the frame times.
    [[nodiscard]] int64_t TotalTime() const { return totalTime_; }
    // The pixel memory of the frames and their masks.
    [[nodiscard]] int64_t ByteSize() const { return byteSize_; }
    // How many holdings the user has on the item.
    [[nodiscard]] int32_t HoldingsOf(ObjectHandle user) const;
    [[nodiscard]] bool InUse() const { return !users_.empty(); }
    // Whether the game had no such file (the item is then the transparent stand-in).
    [[nodiscard]] bool FileMissing() const { return fileMissing_; }

  private:
    friend class TGaleCollection;

    std::string key_;
    std::string fileName_;
    std::vector<std::unique_ptr<TGaleItemFrame>> frames_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int64_t totalTime_ = 0;
    int64_t byteSize_ = 0;
    // Each user with its count of holdings.
    std::vector<std::pair<ObjectHandle, int32_t>> users_;
    bool indexed_ = true;
    bool fileMissing_ = false;
    bool released_ = false;
    std::list<TGaleItem*>::iterator releasedAt_;
};

class TGaleCollection {
  public:
    // Released items are freed, oldest first, while they hold more than this many bytes.
    static constexpr int64_t kReleasedBudget = 5'760'000;
    // The save version from which the cache's byte is in the save data.
    static constexpr int32_t kSaveVersionCache = 101;

    // files may be null (every picture is then missing) and set later.
    explicit TGaleCollection(PictureFiles* files = nullptr) : files_(files) {}
    ~TGaleCollection();
    TGaleCollection(const TGaleCollection&) = delete;
    TGaleCollection& operator=(const TGaleCollection&) = delete;

    void SetFiles(PictureFiles* files) { files_ = files; }

    [[nodiscard]] static std::string MakeKey(std::string_view name, bool mask, bool trim);

    // The item of the key, loaded when it is not cached, with one more holding of user.
    TGaleItem& Acquire(ObjectHandle user, std::string_view name, bool trim, bool mask);
    // Takes one holding of user away; an item nobody holds any more is released.
    void Release(TGaleItem& item, ObjectHandle user);
    // Forgets the file's pictures (see the top of the file).
    void Invalidate(std::string_view name);

    // Whether pictures are decoded at the screen's depth. The scene is 32-bit whatever the
    // display, so the flag only travels with the save data.
    [[nodiscard]] bool ScreenDepth() const { return screenDepth_; }
    void SetScreenDepth(bool screenDepth) { screenDepth_ = screenDepth; }
    void Save(ByteWriter& writer) const;
    void Load(ByteReader& reader, int32_t version);

    // ---- What tests and the scene dump look at ----
    // The indexed item of a key, or null.
    [[nodiscard]] TGaleItem* Find(std::string_view key) const;
    [[nodiscard]] int32_t ItemCount() const { return static_cast<int32_t>(index_.size()); }
    // Released keys, oldest first.
    [[nodiscard]] std::vector<std::string> ReleasedKeys() const;
    [[nodiscard]] int64_t ReleasedBytes() const { return releasedBytes_; }
    // How many pictures were decoded (missing files included).
    [[nodiscard]] int64_t LoadCount() const { return loadCount_; }

  private:
    [[nodiscard]] std::unique_ptr<TGaleItem> LoadItem(std::string key, std::string_view name,
                                                      bool trim, bool mask);
    void PutOnReleasedList(TGaleItem& item);
    void TakeOffReleasedList(TGaleItem& item);
    void EvictOverBudget();
    void FreeItem(TGaleItem& item);

    PictureFiles* files_;
    std::unordered_map<std::string, std::unique_ptr<TGaleItem>> index_;
    // Items taken out of the index by Invalidate while still held.
    std::vector<std::unique_ptr<TGaleItem>> detached_;
    std::list<TGaleItem*> released_;
    int64_t releasedBytes_ = 0;
    int64_t loadCount_ = 0;
    bool screenDepth_ = false;
};

}  // namespace kivo
