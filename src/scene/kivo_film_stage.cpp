#include "scene/kivo_film_stage.h"

#include <cmath>
#include <limits>

#include "scene/film_cache_pictures.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_particle.h"

namespace kivo {

namespace {

// Marks the ids of objects made in the main scene by a film playing in a list of its own.
constexpr TFilmObjectId kMainSceneBit = TFilmObjectId{1} << 63;

int32_t KindCode(TFilmTrackKind kind) {
    switch (kind) {
        case TFilmTrackKind::Image:
            return LT_IMAGES;
        case TFilmTrackKind::Label:
            return LT_LABEL;
        case TFilmTrackKind::Box:
            return LT_BOX;
        case TFilmTrackKind::Sound:
            return LT_SOUND;
        case TFilmTrackKind::Tile:
            return LT_TILE;
        case TFilmTrackKind::Particle:
            return LT_PARTICLE;
        case TFilmTrackKind::Fire:
            return LT_FIRE;
        case TFilmTrackKind::Wipe:
            break;
    }
    return -1;
}

}  // namespace

TKivoFilmStage::TKivoFilmStage(TKivoBaseList& list, TKivoBaseList& main, TKivoControl* owner,
                               std::string prefix, FilmTransitionRunner* transitions)
    : list_(list),
      main_(main),
      owner_(owner),
      prefix_(std::move(prefix)),
      transitions_(transitions) {}

TFilmObjectId TKivoFilmStage::IdOf(ObjectHandle handle) {
    if (handle.IsNull()) return kNoFilmObject;
    return TFilmObjectId{handle.slot} << 32 | handle.generation;
}

ObjectHandle TKivoFilmStage::HandleOf(TFilmObjectId id) {
    return {static_cast<uint32_t>((id & ~kMainSceneBit) >> 32), static_cast<uint32_t>(id)};
}

TKivoObject* TKivoFilmStage::Find(TFilmObjectId id) const {
    if (id == kNoFilmObject) return nullptr;
    TKivoBaseList& list = (id & kMainSceneBit) != 0 ? main_ : list_;
    return list.Resolve(HandleOf(id));
}

std::string TKivoFilmStage::FreeName() {
    std::string name;
    do {
        name = prefix_ + std::to_string(nextNumber_++);
    } while (list_.FindComponent(name) != nullptr || main_.FindComponent(name) != nullptr);
    return name;
}

TFilmObjectId TKivoFilmStage::CreateObject(TFilmTrackKind kind, int32_t layer) {
    const int32_t code = KindCode(kind);
    if (code < 0) return kNoFilmObject;
    const bool inMain = kind == TFilmTrackKind::Sound;
    TKivoBaseList& list = inMain ? main_ : list_;
    TKivoObject* object = list.CreateObject(code);
    if (object == nullptr) return kNoFilmObject;
    list.SetObjectName(*object, FreeName());
    if (TKivoControl* control = object->AsControl()) {
        TKivoControl* parent = owner_ != nullptr ? owner_ : &list.Layer(layer);
        control->SetParent(parent);
        control->SetIgnoreMouse(1);
    }
    const TFilmObjectId id = IdOf(object->Handle());
    return inMain && &main_ != &list_ ? id | kMainSceneBit : id;
}

// Removal is always scheduled: a film is cleared while its cinema is being freed, which may
// happen inside the root's own freeing of objects.
void TKivoFilmStage::RemoveObject(TFilmObjectId object) {
    if (TKivoObject* found = Find(object)) found->Root().ScheduleDestroy(*found);
}

void TKivoFilmStage::SetProperty(TFilmObjectId object, PropertyId id, int32_t value) {
    TKivoObject* found = Find(object);
    if (found == nullptr) return;
    switch (PropertyType(id)) {
        case PT_BOOL:
            WriteProperty(*found, id, value != 0);
            break;
        case PT_FLOAT:
            WriteProperty(*found, id, double{static_cast<double>(value)});
            break;
        case PT_INT:
            WriteProperty(*found, id, value);
            break;
        case PT_STR:
        case PT_NONE:
            break;
    }
}

void TKivoFilmStage::SetFloatProperty(TFilmObjectId object, PropertyId id, double value) {
    TKivoObject* found = Find(object);
    if (found == nullptr) return;
    if (PropertyType(id) == PT_FLOAT) {
        WriteProperty(*found, id, value);
    } else if (PropertyType(id) == PT_INT && std::isfinite(value)) {
        WriteProperty(
            *found, id,
            static_cast<int32_t>(std::clamp(value, double{std::numeric_limits<int32_t>::min()},
                                            double{std::numeric_limits<int32_t>::max()})));
    }
}

void TKivoFilmStage::SetStringProperty(TFilmObjectId object, PropertyId id,
                                       std::string_view value) {
    TKivoObject* found = Find(object);
    if (found != nullptr && PropertyType(id) == PT_STR)
        WriteProperty(*found, id, std::string(value));
}

int32_t TKivoFilmStage::GetProperty(TFilmObjectId object, PropertyId id) {
    TKivoObject* found = Find(object);
    if (found == nullptr) return 0;
    const PropertyValue value = ReadProperty(*found, id);
    if (const auto* number = std::get_if<int32_t>(&value)) return *number;
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? 1 : 0;
    return 0;
}

void TKivoFilmStage::SetPicture(TFilmObjectId object, const TFilmPicture& picture,
                                int32_t frameIndex) {
    // Only pictures of the image cache have a file an object can show.
    const auto* cached = dynamic_cast<const TFilmCachePicture*>(&picture);
    auto* show = dynamic_cast<FilmPictureShow*>(Find(object));
    if (cached != nullptr && show != nullptr) show->ShowFilmPicture(cached->FileName(), frameIndex);
}

void TKivoFilmStage::SetMotionPosition(TFilmObjectId object, int32_t x, int32_t y) {
    TKivoObject* found = Find(object);
    if (TKivoControl* control = found != nullptr ? found->AsControl() : nullptr) {
        control->SetMotionX(x);
        control->SetMotionY(y);
    }
}

void TKivoFilmStage::SetSubPriority(TFilmObjectId object, int32_t subPriority) {
    if (TKivoObject* found = Find(object)) found->SetSubPriority(subPriority);
}

void TKivoFilmStage::SetEmission(TFilmObjectId object, const TFilmEmission& emission) {
    if (auto* particle = dynamic_cast<TKivoParticle*>(Find(object)))
        particle->SetEmission(emission);
}

void TKivoFilmStage::PlaySound(TFilmObjectId object) {
    if (auto* sound = dynamic_cast<FilmSoundPlay*>(Find(object))) sound->PlayFromHere();
}

void TKivoFilmStage::ShowLayer(int32_t layer) {
    if (owner_ == nullptr && layer != list_.ActiveIndex()) list_.SetActiveLayer(layer);
}

}  // namespace kivo
