#pragma once
// Animated pictures. TKivoCustomImages steps through the frames of a picture list by their
// display times (buttons build on it with several lists); TKivoImages (LT_IMAGES) is the plain
// animated image whose source names a GAL picture, shared through the image cache, or a motion
// file, whose film then chooses the picture and the frame instead.
//
// A frame shows for its time; the last frame of several shows for its time plus the loop wait,
// an expression the creating command handed over and that is evaluated each time the last
// frame comes (a negative wait counts as 0). At the end: with repeat the frames start again;
// else an auto-scrap object is destroyed; else the play-end handler is queued, once.

#include <cstdint>
#include <string>

#include "scene/kivo_custom_image.h"
#include "scene/kivo_film_stage.h"
#include "scene/kivo_image_list.h"
#include "script/expression.h"

namespace kivo {

class TKivoCustomImages : public TKivoCustomImage {
  public:
    explicit TKivoCustomImages(TKivoBaseList& root);

    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCustomImages"; }

    // The frame shown, -1 none. Setting it while a motion runs moves the motion to that frame's
    // time instead.
    [[nodiscard]] int32_t Index() const { return index_; }
    void SetIndex(int32_t index);
    // The frames of the picture (or of the motion's film).
    [[nodiscard]] int32_t Count() const;
    // -255 darkens to black, 255 brightens to white.
    [[nodiscard]] int32_t Brightness() const { return brightness_; }
    void SetBrightness(int32_t brightness);
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    // Not paused and either repeating or not past the last frame's time.
    [[nodiscard]] bool FramesPlaying() const;
    [[nodiscard]] int32_t RemainingTime() const { return remaining_; }
    void SetLoopWait(const TKivoParser& expression) { loopWait_ = expression; }

    [[nodiscard]] bool Update() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    // The list the frames come from; null when the object shows none.
    [[nodiscard]] virtual TKivoImageList* FrameList() = 0;
    // Forgets the frame shown (a new picture is coming).
    void ResetFrames();
    // After a loaded game set the source again: shows the saved frame with its saved time left.
    void RestoreFrame(int32_t index, int32_t remaining);
    // Shows the frame a film chose and stops the object's own stepping through the frames.
    void ShowFilmFrame(int32_t index);
    // Shows the frame the object's motion chose; the motion keeps the time, so the frame
    // adds none.
    void ShowMotionFrame(int32_t index);

  private:
    // Shows the frame, adding its time (and the loop wait on the last of several).
    void ShowFrame(int32_t index);
    [[nodiscard]] int32_t LoopWait();

    int32_t remaining_ = 0;
    int32_t index_ = -1;
    int32_t brightness_ = 0;
    bool paused_ = false;
    bool playEndQueued_ = false;
    TKivoParser loopWait_;
};

class TKivoImages : public TKivoCustomImages, public FilmPictureShow {
  public:
    explicit TKivoImages(TKivoBaseList& root);

    [[nodiscard]] int32_t Kind() const override { return LT_IMAGES; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoImages"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A ".gal" name shows that picture from its first frame; a ".kmt" name runs that motion
    // file on the object, which shows the pictures its image tracks name; any other name
    // shows nothing.
    void SetSource(std::string source);
    [[nodiscard]] bool Repeat() const override { return repeat_; }
    void SetRepeat(bool repeat);
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // ImgNew hands over its PR_DELAY expression as the loop wait.
    void KeepExpression(int32_t prId, const TKivoParser& expression) override;
    void ShowFilmPicture(const std::string& fileName, int32_t frameIndex) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    [[nodiscard]] TKivoImageList* FrameList() override { return &frames_; }

  private:
    // The pictures of a motion come from its film: the list holds the one shown last.
    void ShowMotionPicture(const std::string& fileName, int32_t frameIndex);

    TKivoImageList frames_;
    bool repeat_ = false;
    bool autoScrap_ = false;
    std::string source_;
    std::string playEndHandler_;
    std::string idleHandler_;
};

}  // namespace kivo
