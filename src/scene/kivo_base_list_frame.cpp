// The scene root's frame advance and draw, its save record and its reset.

#include "scene/kivo_base_list.h"

#include "scene/kivo_mes.h"

namespace kivo {

// ---- Frame advance and draw ----

void TKivoBaseList::FrameAdvance() {
    ++walking_;
    for (auto& layer : layers_) {
        // A layer has no motion that ends it.
        (void)layer->Update();
    }
    // A snapshot of handles: handlers and updates may create objects, and what they destroy
    // is only scheduled while the walk runs.
    std::vector<ObjectHandle> walk;
    walk.reserve(registry_.size());
    for (const auto& object : registry_) {
        if (object != nullptr) walk.push_back(object->Handle());
    }
    constexpr uint8_t kIdleCode = PR_ONIDLE;
    for (ObjectHandle handle : walk) {
        TKivoObject* object = Resolve(handle);
        if (object == nullptr) continue;
        const bool parked = object->InsideCabinet();
        const std::string idle = object->IdleHandler();
        if (!idle.empty() && !parked) object->PostEvent(kIdleCode, idle, {}, true);
        if (object->Paused() || object->scheduled_ || parked) continue;
        if (object->Update()) ScheduleDestroy(*object);
    }
    --walking_;
    FreeScheduled();
}

FrameView TKivoBaseList::Draw(std::vector<TRect>& dirty) {
    for (auto& layer : layers_)
        layer->DrawDirty();
    dirty = ActiveLayer().Dirty().Rects();
    if (transition_ != nullptr) {
        // The transition mixes the layers' surfaces over the whole screen.
        dirty.clear();
        if (!transition_->Step()) dirty.push_back(transition_->UpdateRect());
    }
    TDIBSurface& bitmap = backBuffer_.Bitmap();
    return FrameView{reinterpret_cast<const uint32_t*>(bitmap.Bits().data()), bitmap.Width(),
                     bitmap.Height(), bitmap.Pitch() / 4};
}

void TKivoBaseList::ClearDirty() {
    for (auto& layer : layers_)
        layer->ClearDirty();
}

// ---- Save record ----

void TKivoBaseList::Save(ByteWriter& writer) const {
    writer.WriteI32(width_);
    writer.WriteI32(height_);
    writer.WriteI32(activeIndex_);
    for (const auto& layer : layers_)
        layer->Save(writer);
    SaveComponents(writer);
    events_.Save(writer, *this);
    const TKivoControl* focus = FocusedControl();
    writer.WriteCountedString(focus != nullptr ? focus->Name() : std::string());
}

void TKivoBaseList::SaveComponents(ByteWriter& writer) const {
    std::vector<const TKivoObject*> saved;
    for (const auto& object : registry_) {
        if (object != nullptr && object->AsControl() == nullptr && !object->scheduled_ &&
            object->Kind() != 0 && !object->IsSystem()) {
            saved.push_back(object.get());
        }
    }
    writer.WriteI32(static_cast<int32_t>(saved.size()));
    for (const TKivoObject* object : saved) {
        writer.WriteU8(static_cast<uint8_t>(object->Kind()));
        object->Save(writer);
    }
}

void TKivoBaseList::Load(ByteReader& reader, int32_t version) {
    Reset();
    const int32_t width = reader.ReadI32();
    const int32_t height = reader.ReadI32();
    if (width < 1 || height < 1 || width > kMaxSceneSide || height > kMaxSceneSide) {
        reader.Fail("scene size out of range");
    }
    // Through 8 x 8, so that the surfaces are made anew even at the same size.
    SetSize(8, 8);
    SetSize(width, height);
    const int32_t active = reader.ReadI32();
    if (active != 0 && active != 1) reader.Fail("bad active layer");
    activeIndex_ = active;
    for (auto& layer : layers_)
        layer->Load(reader, version);
    for (auto& layer : layers_)
        layer->MarkAllDirty();
    LoadComponents(reader, version);
    events_.Load(reader, version, *this);
    if (version > kSaveVersionNoFocusName) {
        const std::string focusName = reader.ReadCountedString();
        // An empty name is no focus, not the shown layer. The focus is set directly: the
        // object had it when the game was saved, so no focus-in event is queued.
        TKivoControl* focus = focusName.empty() ? nullptr : FindControl(focusName);
        if (focus != nullptr) {
            focus_ = focus->Handle();
            focusRecompute_ = false;
        }
    }
}

void TKivoBaseList::RebuildAfterLoad() {
    for (const auto& object : registry_) {
        if (object != nullptr && object->Kind() == LT_MES)
            static_cast<TKivoMes*>(object.get())->RebuildAfterLoad();
    }
}

void TKivoBaseList::LoadComponents(ByteReader& reader, int32_t version) {
    // A component takes at least its kind byte and the name count of its record.
    const uint32_t count = reader.ReadCount(1 + 4);
    for (uint32_t i = 0; i < count; ++i) {
        TKivoObject* object = CreateForLoad(reader.ReadU8(), reader);
        if (object->AsControl() != nullptr) {
            Destroy(*object);
            reader.Fail("a control among the components");
        }
        object->Load(reader, version);
    }
}

TKivoBaseList::LoadNesting::LoadNesting(TKivoBaseList& root, ByteReader& reader) : root_(root) {
    if (++root_.loadNesting_ > kMaxLoadNesting) {
        --root_.loadNesting_;
        reader.Fail("children nested too deep");
    }
}

void TKivoBaseList::CutAllLinks() {
    // The lists are emptied whole: taking children out one by one would cost the number of
    // siblings each time.
    for (auto& layer : layers_)
        layer->children_.clear();
    for (const auto& object : registry_) {
        if (object == nullptr) continue;
        if (TKivoControl* control = object->AsControl()) {
            control->children_.clear();
            control->parent_ = nullptr;
        }
    }
}

void TKivoBaseList::Reset() {
    EndTransition();
    std::vector<TKivoObject*> all;
    for (const auto& object : registry_) {
        if (object != nullptr) all.push_back(object.get());
    }
    // Every link of the tree is cut before anything is freed, so every object is freed once,
    // by itself.
    CutAllLinks();
    for (TKivoObject* object : all)
        Forget(*object);
    CompactRegistry();
    names_.clear();
    nextObjectNumber_ = 0;
    scheduled_.clear();
    events_.Clear();
    rightClickScrap_.clear();
    focus_ = {};
    focusRecompute_ = false;

    PointerState pointers[2] = {layers_[0]->Pointer(), layers_[1]->Pointer()};
    for (auto& layer : layers_)
        handles_.Release(layer->Handle());
    MakeLayers();
    for (size_t i = 0; i < 2; ++i) {
        PointerState& pointer = layers_[i]->Pointer();
        pointer.x = pointers[i].x;
        pointer.y = pointers[i].y;
    }
}

}  // namespace kivo
