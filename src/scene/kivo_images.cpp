#include "scene/kivo_images.h"

#include <algorithm>

#include "base/sjis.h"
#include "scene/film_motion.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_motion.h"

namespace kivo {

// ---- TKivoCustomImages ----

TKivoCustomImages::TKivoCustomImages(TKivoBaseList& root) : TKivoCustomImage(root) {}

int32_t TKivoCustomImages::Count() const {
    if (const TKivoMotion* motion = Motion()) return motion->Film().FrameCount();
    const TKivoImageList* list = const_cast<TKivoCustomImages*>(this)->FrameList();
    return list != nullptr ? list->Count() : 0;
}

void TKivoCustomImages::ResetFrames() {
    index_ = -1;
    remaining_ = 0;
    playEndQueued_ = false;
    DropBorrowed();
}

void TKivoCustomImages::RestoreFrame(int32_t index, int32_t remaining) {
    TKivoImageList* list = FrameList();
    if (list == nullptr || !list->ValidIndex(index)) return;
    ResetFrames();
    SetIndex(index);
    remaining_ = remaining;
}

void TKivoCustomImages::ShowFilmFrame(int32_t index) {
    paused_ = true;
    if (index != index_) SetIndex(index);
}

void TKivoCustomImages::ShowMotionFrame(int32_t index) {
    TKivoImageList* list = FrameList();
    if (list == nullptr || !list->ValidIndex(index) || (index == index_ && Picture() != nullptr))
        return;
    index_ = index;
    remaining_ = 0;
    const FrameSurfaces frame = list->Surfaces(index, brightness_);
    Borrow(*frame.surface, frame.mask, frame.key, frame.updateRects);
}

void TKivoCustomImages::SetIndex(int32_t index) {
    if (TKivoMotion* motion = Motion()) {
        motion->SetElapsed(TKivoMotion::TimeOfFrame(index));
        return;
    }
    TKivoImageList* list = FrameList();
    if (list != nullptr && list->ValidIndex(index_)) {
        Invalidate();
    } else {
        remaining_ = 0;
    }
    playEndQueued_ = false;
    if (list == nullptr || !list->ValidIndex(index)) {
        index_ = index;
        DropBorrowed();
        return;
    }
    ShowFrame(index);
}

void TKivoCustomImages::ShowFrame(int32_t index) {
    TKivoImageList& list = *FrameList();
    index_ = index;
    const FrameSurfaces frame = list.Surfaces(index, brightness_);
    Borrow(*frame.surface, frame.mask, frame.key, frame.updateRects);
    remaining_ += list.Frame(index).delay;
    if (index == list.Count() - 1 && list.Count() > 1) remaining_ += LoopWait();
}

int32_t TKivoCustomImages::LoopWait() {
    if (loopWait_.Empty()) return 0;
    ExpressionEvaluator* evaluator = Root().Services().expressions;
    if (evaluator == nullptr) return 0;
    // A negative wait would keep the last frame's time below 1 and loop for ever.
    return std::max(evaluator->EvaluateInt(loopWait_).value_or(0), 0);
}

void TKivoCustomImages::SetBrightness(int32_t brightness) {
    brightness = std::clamp(brightness, -255, 255);
    if (brightness == brightness_) return;
    brightness_ = brightness;
    TKivoImageList* list = FrameList();
    if (list == nullptr || !list->ValidIndex(index_)) return;
    const FrameSurfaces frame = list->Surfaces(index_, brightness_);
    Borrow(*frame.surface, frame.mask, frame.key, frame.updateRects);
}

bool TKivoCustomImages::FramesPlaying() const {
    if (paused_ || AniPaused()) return false;
    if (Motion() != nullptr) return Playing();
    const int32_t count = Count();
    if (count == 0 || index_ < 0) return false;
    return Repeat() || index_ < count - 1 || remaining_ >= 1;
}

bool TKivoCustomImages::Update() {
    if (Motion() != nullptr) return TKivoControl::Update();
    TKivoImageList* list = FrameList();
    if (list == nullptr || !list->ValidIndex(index_) || !Visible() || paused_ || AniPaused()) {
        return false;
    }
    if (remaining_ > 0) remaining_ -= Root().State().frameDelta;
    const int32_t count = list->Count();
    // Every frame adds at least 1 ms, so the walk ends.
    while (remaining_ < 1) {
        if (index_ < count - 1) {
            if (count <= 2) remaining_ = 0;
            Invalidate();
            ShowFrame(index_ + 1);
        } else if (Repeat()) {
            remaining_ = 0;
            Invalidate();
            ShowFrame(0);
        } else if (AutoScrap()) {
            return true;
        } else {
            if (!playEndQueued_) PostEvent(PR_ONPLAYEND, PlayEndHandler());
            playEndQueued_ = true;
            break;
        }
    }
    return false;
}

const PropertyMap& TKivoCustomImages::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomImage::ClassProperties();
        m[PR_INDEX] = Accessor<&TKivoCustomImages::Index, &TKivoCustomImages::SetIndex>();
        m[PR_COUNT] = Accessor<&TKivoCustomImages::Count>();
        m[PR_BRIGHTNESS] =
            Accessor<&TKivoCustomImages::Brightness, &TKivoCustomImages::SetBrightness>();
        m[PR_PAUSED] = Accessor<&TKivoCustomImages::Paused, &TKivoCustomImages::SetPaused>();
        m[PR_PLAYING] = Accessor<&TKivoCustomImages::FramesPlaying>();
        return m;
    }();
    return map;
}

void TKivoCustomImages::Save(ByteWriter& writer) const {
    TKivoCustomImage::Save(writer);
    writer.WriteI32(remaining_);
    writer.WriteI32(index_);
    writer.WriteI32(brightness_);
    writer.WriteBool(paused_);
    loopWait_.Save(writer);
}

void TKivoCustomImages::Load(ByteReader& reader, int32_t version) {
    TKivoCustomImage::Load(reader, version);
    remaining_ = reader.ReadI32();
    index_ = reader.ReadI32();
    brightness_ = std::clamp(reader.ReadI32(), -255, 255);
    paused_ = reader.ReadBool();
    loopWait_.Load(reader);
}

// ---- TKivoImages ----

TKivoImages::TKivoImages(TKivoBaseList& root) : TKivoCustomImages(root), frames_(root.Images()) {}

void TKivoImages::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    ResetFrames();
    frames_.Clear();
    FreeMotion();
    if (IsMotionFileName(source_)) {
        if (auto film = TFilmMotion::ReadWithPictures(*this, source_)) {
            StartShownMotion(*this, std::move(film));
            return;
        }
    } else if (sjis::ToLowerAscii(source_).ends_with(".gal")) {
        frames_.Load(Handle(), source_, false, false);
    }
    if (frames_.Count() > 0) {
        SetIndex(0);
    } else {
        RefreshSize();
    }
}

void TKivoImages::SetRepeat(bool repeat) {
    repeat_ = repeat;
    if (repeat && Motion() != nullptr && Motion()->Finished()) Motion()->Restart();
}

void TKivoImages::ShowFilmPicture(const std::string& fileName, int32_t frameIndex) {
    if (Motion() != nullptr) {
        ShowMotionPicture(fileName, frameIndex);
        return;
    }
    SetSource(fileName);
    ShowFilmFrame(frameIndex);
}

void TKivoImages::ShowMotionPicture(const std::string& fileName, int32_t frameIndex) {
    // The source stays the motion file: only the picture list follows the film.
    const TGaleItem* item = frames_.Item();
    if (item == nullptr || item->FileName() != fileName) {
        ResetFrames();
        frames_.Clear();
        frames_.Load(Handle(), fileName, false, false);
    }
    ShowMotionFrame(frameIndex);
}

void TKivoImages::KeepExpression(int32_t prId, const TKivoParser& expression) {
    if (prId == PR_DELAY) SetLoopWait(expression);
}

const PropertyMap& TKivoImages::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomImages::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoImages::Source, &TKivoImages::SetSource>();
        m[PR_REPEAT] = Accessor<&TKivoImages::Repeat, &TKivoImages::SetRepeat>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoImages::AutoScrap, &TKivoImages::SetAutoScrap>();
        m[PR_ONPLAYEND] = Accessor<&TKivoImages::PlayEndHandler, &TKivoImages::SetPlayEndHandler>();
        m[PR_ONIDLE] = Accessor<&TKivoImages::IdleHandler, &TKivoImages::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoImages::Save(ByteWriter& writer) const {
    TKivoCustomImages::Save(writer);
    writer.WriteBool(repeat_);
    writer.WriteBool(autoScrap_);
    writer.WriteCountedString(source_);
    writer.WriteCountedString(playEndHandler_);
    writer.WriteCountedString(idleHandler_);
}

void TKivoImages::Load(ByteReader& reader, int32_t version) {
    TKivoCustomImages::Load(reader, version);
    const int32_t savedIndex = Index();
    const int32_t savedRemaining = RemainingTime();
    repeat_ = reader.ReadBool();
    autoScrap_ = reader.ReadBool();
    std::string source = reader.ReadCountedString();
    playEndHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionSubPriority) idleHandler_ = reader.ReadCountedString();
    // The picture is loaded again, then the saved frame shown with its saved time left. A
    // motion's time is not in the record: it starts again from its first frame.
    source_.clear();
    SetSource(std::move(source));
    if (Motion() == nullptr) RestoreFrame(savedIndex, savedRemaining);
}

}  // namespace kivo
