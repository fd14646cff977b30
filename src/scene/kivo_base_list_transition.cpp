// The scene root's transitions between its two layers: the picture on screen when a flip
// starts becomes the "from" picture (kept in the shown layer's own surface, where that layer
// goes on drawing), the other layer draws live into its own surface as the "to" picture, and
// every draw the transition mixes the two into the back buffer.

#include "scene/kivo_base_list.h"
#include "scene/kivo_custom_image.h"

namespace kivo {

bool TKivoBaseList::StartTransition(int32_t code, int32_t duration, bool force) {
    if (transition_ != nullptr && !force) return false;
    EndTransition();
    TKivoBase& shown = ActiveLayer();
    TKivoBase& other = InactiveLayer();
    std::unique_ptr<TCustomWipe> wipe =
        CreateWipe(code, backBuffer_, shown.OwnSurface(), other.OwnSurface(), transitionRandom_);
    if (wipe == nullptr) return false;
    // The shown layer leaves the back buffer for its own surface, starting from what the
    // screen shows.
    shown.OwnSurface().Assign(backBuffer_);
    wipe->SetDuration(duration);
    transition_ = std::move(wipe);
    transitionShown_ = true;
    for (auto& layer : layers_)
        layer->MarkAllDirty();
    return true;
}

void TKivoBaseList::SetTransitionParam(int32_t index, int32_t value) {
    if (transition_ != nullptr) transition_->SetParam(index, value);
}

void TKivoBaseList::SetTransitionMask(const std::string& name) {
    if (transition_ == nullptr) return;
    transition_->SetMaskName(name);
    ReleaseTransitionRule();
    transition_->SetRulePicture(nullptr);
    if (name.empty()) return;
    transitionRuleUser_ = ActiveLayer().Handle();
    transitionRule_ = &Images().Acquire(transitionRuleUser_, name, false, false);
    // A missing file comes as a keyed blank; without a rule picture the rule is white and
    // every pixel switches at once.
    TGaleItemFrame& first = transitionRule_->Frame(0);
    if (transitionRule_->FrameCount() > 0 && !first.key.IsSet()) {
        transition_->SetRulePicture(&first.surface);
    }
}

void TKivoBaseList::ReleaseTransitionRule() {
    if (transitionRule_ == nullptr) return;
    Images().Release(*transitionRule_, transitionRuleUser_);
    transitionRule_ = nullptr;
}

void TKivoBaseList::SetTransitionElapsed(int64_t elapsed) {
    if (transition_ != nullptr) transition_->SetElapsed(elapsed);
}

void TKivoBaseList::EndTransition() {
    ReleaseTransitionRule();
    const bool wasShown = transitionShown_;
    transition_.reset();
    transitionShown_ = false;
    if (wasShown) {
        for (auto& layer : layers_)
            layer->MarkAllDirty();
    }
}

TKivoControl& TKivoBaseList::CreateSnapshot() {
    std::vector<TRect> dirty;
    (void)Draw(dirty);
    auto& snapshot = Create<TKivoCustomImage>();
    snapshot.Rename(std::string(kSnapshotName));
    snapshot.OwnSurface().SetSize(width_, height_, 32);
    snapshot.OwnSurface().Assign(backBuffer_);
    snapshot.RefreshSize();
    snapshot.SetParent(&ActiveLayer());
    return snapshot;
}

}  // namespace kivo
