#pragma once
// A map image (LT_MAPIMG): a picture whose regions, named in a map file, are chosen with the
// pointer or the keys. The region under the pointer shows through the hover picture, the rest
// through the base picture; entering and leaving a region queue the map-in and map-out
// handlers, and a left press on a region (or Enter or Space on the region the keys reached)
// makes it the selection (@SelStr, @SelIndex) and queues the select handler.
//
// With auto-scrap a choice closes the map image; with right-click-scrap a right click anywhere
// (or Escape while it has the focus) closes it without one. Closing makes it busy, so that it
// raises no further events, and it ends two updates later.
//
// Both pictures come from the image cache with masks made from their colour keys, are as
// large as the base picture's first frame, and loop their frames by themselves.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/kivo_control.h"
#include "scene/kivo_image_list.h"
#include "scene/map_region_list.h"

namespace kivo {

class TKivoMapImage final : public TKivoControl {
  public:
    // The closing steps: open, closing, and closed (the next update ends it).
    static constexpr int32_t kOpen = 0;
    static constexpr int32_t kClosing = 100;
    static constexpr int32_t kClosed = 101;
    // Save records from this version on carry the idle, paused and select fields, and from the
    // next one the closing state.
    static constexpr int32_t kSaveVersionSelect = 104;
    static constexpr int32_t kSaveVersionClosing = 115;

    explicit TKivoMapImage(TKivoBaseList& root);

    [[nodiscard]] int32_t Kind() const override { return LT_MAPIMG; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoMapImage"; }

    // ---- Pictures and regions ----

    [[nodiscard]] const std::string& Source() const { return source_; }
    void SetSource(std::string source);
    [[nodiscard]] const std::string& HoverSource() const { return hoverSource_; }
    void SetHoverSource(std::string source);
    [[nodiscard]] const std::string& MapSource() const { return mapSource_; }
    // Reads the regions of a map file; a missing file gives none, a damaged one raises its
    // error and leaves none. The hovered region is forgotten without events.
    void SetMapSource(std::string source);
    [[nodiscard]] const TMapRegionList& Regions() const { return regions_; }
    [[nodiscard]] int32_t Hovered() const { return hovered_; }

    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    // Values above 511 draw as 511.
    void SetAlpha(int32_t alpha);
    [[nodiscard]] int32_t Brightness() const { return brightness_; }
    // -255 darkens to black, 255 brightens to white.
    void SetBrightness(int32_t brightness);

    // ---- Flags and handlers ----

    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool RightClickScrap() const override { return rightClickScrap_; }
    void SetRightClickScrap(bool scrap);
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] bool Busy() const override { return busy_; }
    [[nodiscard]] int32_t ClosingState() const { return closing_; }
    [[nodiscard]] const std::string& MapInHandler() const { return mapInHandler_; }
    void SetMapInHandler(std::string handler) { mapInHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& MapOutHandler() const { return mapOutHandler_; }
    void SetMapOutHandler(std::string handler) { mapOutHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& SelectHandler() const { return selectHandler_; }
    void SetSelectHandler(std::string handler) { selectHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // ---- Frame work and input ----

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void FireKeyRepeat() override;
    bool CloseByRightClick() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // A picture with, per frame, the mask it is drawn through and the region that mask was
    // made for.
    struct MaskedPicture {
        explicit MaskedPicture(TGaleCollection& cache) : frames(cache) {}
        TKivoImageList frames;
        std::vector<std::unique_ptr<TDIBX>> masks;
        std::vector<int32_t> maskRegion;
    };
    static constexpr int32_t kNoMask = -2;

    void LoadPicture(MaskedPicture& picture, const std::string& source);
    // Moves the hover to region index (-1 none), queueing the map-out and map-in handlers.
    void SetHovered(int32_t index);
    void Choose();
    void Close();
    void TakeSizeFromPicture();
    // The mask of a frame for the hovered region: the frame's own transparency with that
    // region cut out (the base) or kept alone (the hover).
    TDIBX& RegionMask(MaskedPicture& picture, int32_t frame, bool insideOnly);
    void DrawFrame(TDrawContext& context, MaskedPicture& picture, bool insideOnly);
    [[nodiscard]] std::vector<std::string> RegionArguments(int32_t index) const;

    std::string source_;
    std::string hoverSource_;
    std::string mapSource_;
    MaskedPicture base_;
    MaskedPicture hover_;
    TMapRegionList regions_;
    int32_t hovered_ = -1;
    int32_t alpha_ = 255;
    int32_t brightness_ = 0;
    bool autoScrap_ = false;
    bool rightClickScrap_ = false;
    bool paused_ = false;
    bool busy_ = false;
    int32_t closing_ = kOpen;
    std::string mapInHandler_;
    std::string mapOutHandler_;
    std::string selectHandler_;
    std::string idleHandler_;
};

}  // namespace kivo
