#include "scene/kivo_base_list.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>

#include "base/error.h"
#include "platform/font_engine.h"
#include "scene/kivo_box.h"
#include "scene/kivo_button.h"
#include "scene/kivo_cabinet.h"
#include "scene/kivo_cg_label.h"
#include "scene/kivo_cinema.h"
#include "scene/kivo_edit.h"
#include "scene/kivo_fire.h"
#include "scene/kivo_gauge.h"
#include "scene/kivo_menu.h"
#include "scene/kivo_mes.h"
#include "scene/kivo_http.h"
#include "scene/kivo_label.h"
#include "scene/kivo_particle.h"
#include "scene/kivo_prev_menu.h"
#include "scene/kivo_prop_motion.h"
#include "scene/kivo_slider.h"
#include "scene/kivo_sound.h"
#include "scene/kivo_timer.h"
#include "scene/kivo_video.h"
#include "scene/kivo_wave.h"
#include "scene/kivo_images.h"
#include "scene/kivo_map_image.h"
#include "scene/kivo_tile.h"
#include "text/font_pixel_manager.h"

namespace kivo {

namespace {

constexpr std::string_view kAutoNamePrefix = "object";

// The number n of a name "object" + n as automatic naming writes it (no sign, no leading
// zero), or -1.
int64_t AutoNameNumber(std::string_view name) {
    if (!name.starts_with(kAutoNamePrefix)) return -1;
    const std::string_view digits = name.substr(kAutoNamePrefix.size());
    if (digits.empty() || digits.size() > 18 || (digits.size() > 1 && digits.front() == '0')) {
        return -1;
    }
    int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() ? number : -1;
}

}  // namespace

TKivoBaseList::TKivoBaseList(const PlayerState& state, SceneWindow* window, TTimerList* events)
    : state_(state),
      window_(window),
      backBuffer_(8, 8, 32),
      events_(events != nullptr ? *events : ownEvents_) {
    MakeLayers();
}

TKivoBaseList::~TKivoBaseList() {
    DetachVariables();
    // Objects that refer to others by handle (a cinema's film, an emitter's particles) find
    // none of them while the objects go, whatever order they go in.
    for (const auto& object : registry_) {
        if (object != nullptr) handles_.Release(object->handle_);
    }
    // Objects go in the order they were made, which is not children before parents (a parent
    // can be set later): a label invalidating its area on the way out would otherwise reach a
    // parent already freed.
    CutAllLinks();
    registry_.clear();
}

// ---- Size and layers ----

void TKivoBaseList::SetSize(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    backBuffer_.SetSize(width, height, 32);
    for (auto& layer : layers_)
        layer->Resize(width, height);
}

void TKivoBaseList::MakeLayers() {
    for (int32_t index = 0; index < 2; ++index) {
        auto layer = std::make_unique<TKivoBase>(*this, index);
        layer->handle_ = handles_.Register(*layer);
        layer->name_ = std::string(TKivoBase::kNames[index]);
        layer->Resize(width_, height_);
        layers_[static_cast<size_t>(index)] = std::move(layer);
    }
}

void TKivoBaseList::SetActiveLayer(int32_t index, bool force) {
    index = index == 0 ? 0 : 1;
    // A plain switch ends any transition: the new layer is shown as it is.
    EndTransition();
    const bool changed = index != activeIndex_;
    activeIndex_ = index;
    // Each layer's picture lives in another surface once the shown one changes, so both are
    // drawn whole again.
    if (changed || force) {
        for (auto& layer : layers_)
            layer->MarkAllDirty();
    }
    TKivoControl* focus = FocusedControl();
    if (focus == nullptr || focus->Layer() != &ActiveLayer()) DropFocus();
}

bool TKivoBaseList::InPrimary(const TKivoObject& object) {
    const TKivoControl* control = object.AsControl();
    return control != nullptr && control->Layer() == &ActiveLayer() && !control->InsideCabinet();
}

// ---- Objects ----

std::unique_ptr<TKivoObject> TKivoBaseList::MakeObject(int32_t kind) {
    // Kinds whose classes have not been built yet give no object, like codes without one.
    switch (kind & 0x7F) {
        case LT_BOX:
            return std::make_unique<TKivoBox>(*this);
        case LT_BUTTON:
            return std::make_unique<TKivoButton>(*this);
        case LT_CABINET:
            return std::make_unique<TKivoCabinet>(*this);
        case LT_CINEMA:
            return std::make_unique<TKivoCinema>(*this);
        case LT_FIRE:
            return std::make_unique<TKivoFire>(*this);
        case LT_MES:
            return std::make_unique<TKivoMes>(*this);
        case LT_PARTICLE:
            return std::make_unique<TKivoParticle>(*this);
        case LT_WAVE:
            return std::make_unique<TKivoWave>(*this);
        case LT_IMAGES:
            return std::make_unique<TKivoImages>(*this);
        case LT_MAPIMG:
            return std::make_unique<TKivoMapImage>(*this);
        case LT_TILE:
            return std::make_unique<TKivoTile>(*this);
        case LT_MENU:
            return std::make_unique<TKivoMenu>(*this);
        case LT_HTTP:
            return std::make_unique<TKivoHttp>(*this);
        case LT_PROPMOTION:
            return std::make_unique<TKivoPropMotion>(*this);
        case LT_SOUND:
            return std::make_unique<TKivoSound>(*this);
        case LT_TIMER:
            return std::make_unique<TKivoTimer>(*this);
        case LT_VIDEO:
            return std::make_unique<TKivoVideo>(*this);
        case LT_SLIDER:
            return std::make_unique<TKivoSlider>(*this);
        case LT_SCROLLBAR:
            return std::make_unique<TKivoScrollbar>(*this);
        case LT_GAUGE:
            return std::make_unique<TKivoGauge>(*this);
        case LT_PREVMENU:
            return std::make_unique<TKivoPrevMenu>(*this);
        case LT_LABEL:
            return std::make_unique<TKivoLabel>(*this);
        case LT_CGLABEL:
            return std::make_unique<TKivoCGLabel>(*this);
        case LT_EDIT:
            return std::make_unique<TKivoEdit>(*this);
        case LT_MEMO:
            return std::make_unique<TKivoMemo>(*this);
        default:
            return nullptr;
    }
}

TKivoObject* TKivoBaseList::CreateObject(int32_t kind) {
    std::unique_ptr<TKivoObject> object = MakeObject(kind);
    if (object == nullptr) return nullptr;
    const bool autoName = object->AutoNamed();
    return &Adopt(std::move(object), autoName);
}

TKivoObject* TKivoBaseList::CreateForLoad(uint8_t kind, ByteReader& reader) {
    std::unique_ptr<TKivoObject> object = MakeObject(kind);
    if (object == nullptr) reader.Fail("unknown object kind " + std::to_string(kind));
    // The record names it.
    return &Adopt(std::move(object), false);
}

TKivoObject& TKivoBaseList::Adopt(std::unique_ptr<TKivoObject> object, bool autoName) {
    TKivoObject& adopted = *object;
    adopted.handle_ = handles_.Register(adopted);
    adopted.serial_ = nextSerial_++;
    adopted.registryIndex_ = registry_.size();
    registry_.push_back(std::move(object));
    if (autoName) SetObjectName(adopted, FreeObjectName());
    if (adopted.AsControl() != nullptr && FocusedControl() == nullptr) RequestFocusRecompute();
    return adopted;
}

TKivoObject& TKivoBaseList::ObjectAt(int32_t index) const {
    for (const auto& object : registry_) {
        if (object != nullptr && index-- == 0) return *object;
    }
    throw std::out_of_range("object index past the registry");
}

int32_t TKivoBaseList::IndexOf(const TKivoObject& object) const {
    if (Resolve(object.handle_) != &object || object.AsControl() == layers_[0].get() ||
        object.AsControl() == layers_[1].get()) {
        return -1;
    }
    return static_cast<int32_t>(object.registryIndex_);
}

TKivoControl* TKivoBaseList::ResolveControl(ObjectHandle handle) const {
    TKivoObject* object = Resolve(handle);
    return object != nullptr ? object->AsControl() : nullptr;
}

TKivoBase* TKivoBaseList::ReservedLayer(std::string_view name) {
    if (name.empty()) return &ActiveLayer();
    if (name == "\x01") return &InactiveLayer();
    if (name == TKivoBase::kNames[0]) return layers_[0].get();
    if (name == TKivoBase::kNames[1]) return layers_[1].get();
    return nullptr;
}

TKivoObject* TKivoBaseList::FirstLiveNamed(std::string_view name) const {
    const auto found = names_.find(std::string(name));
    if (found == names_.end()) return nullptr;
    TKivoObject* first = nullptr;
    for (TKivoObject* object : found->second) {
        if (!object->scheduled_ && (first == nullptr || object->serial_ < first->serial_)) {
            first = object;
        }
    }
    return first;
}

TKivoObject* TKivoBaseList::FindComponent(std::string_view name) {
    if (TKivoBase* layer = ReservedLayer(name)) return layer;
    return FirstLiveNamed(name);
}

TKivoControl* TKivoBaseList::FindControl(std::string_view name) {
    if (TKivoBase* layer = ReservedLayer(name)) return layer;
    const auto found = names_.find(std::string(name));
    if (found == names_.end()) return nullptr;
    TKivoControl* first = nullptr;
    for (TKivoObject* object : found->second) {
        TKivoControl* control = object->AsControl();
        if (control != nullptr && !object->scheduled_ &&
            (first == nullptr || object->serial_ < first->serial_)) {
            first = control;
        }
    }
    return first;
}

std::vector<TKivoObject*> TKivoBaseList::ObjectsNamed(std::string_view name) const {
    const auto found = names_.find(std::string(name));
    if (found == names_.end()) return {};
    std::vector<TKivoObject*> holders = found->second;
    std::sort(holders.begin(), holders.end(),
              [](const TKivoObject* a, const TKivoObject* b) { return a->serial_ < b->serial_; });
    return holders;
}

int32_t TKivoBaseList::ListCompo(std::vector<std::string>& names, int32_t kind,
                                 const TKivoControl* parent) const {
    int32_t appended = 0;
    for (const auto& object : registry_) {
        if (object == nullptr || (kind >= 0 && object->Kind() != kind)) continue;
        if (parent != nullptr) {
            const TKivoControl* control = object->AsControl();
            if (control == nullptr || control->Parent() != parent) continue;
        }
        names.push_back(object->Name());
        ++appended;
    }
    return appended;
}

// ---- Names ----

void TKivoBaseList::IndexName(TKivoObject& object) {
    if (object.name_.empty()) return;
    names_[object.name_].push_back(&object);
}

void TKivoBaseList::UnindexName(TKivoObject& object) {
    if (object.name_.empty()) return;
    const auto found = names_.find(object.name_);
    if (found == names_.end()) return;
    std::erase(found->second, &object);
    if (!found->second.empty()) return;
    names_.erase(found);
    // The number of a freed automatic name is free again.
    const int64_t number = AutoNameNumber(object.name_);
    if (number >= 0 && number < nextObjectNumber_) nextObjectNumber_ = number;
}

void TKivoBaseList::SetObjectName(TKivoObject& object, std::string name) {
    const bool registered = Resolve(object.handle_) == &object && IndexOf(object) >= 0;
    if (registered) UnindexName(object);
    object.name_ = std::move(name);
    if (registered) IndexName(object);
}

std::string TKivoBaseList::FreeObjectName() {
    std::string name;
    do {
        name = std::string(kAutoNamePrefix) + std::to_string(nextObjectNumber_++);
    } while (names_.contains(name));
    // The number taken is in use now; the one after it is the next candidate.
    return name;
}

std::string TKivoBaseList::FreeSuffixedName(std::string_view name) const {
    std::string_view base = name;
    const size_t underscore = name.rfind('_');
    if (underscore != std::string_view::npos) {
        const std::string_view digits = name.substr(underscore + 1);
        int64_t number = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        const bool allDigits = !digits.empty() && digits.size() <= 18 &&
                               digits.find_first_not_of("0123456789") == std::string_view::npos;
        if (allDigits && error == std::errc() && end == digits.data() + digits.size() &&
            number > 1) {
            base = name.substr(0, underscore);
        }
    }
    for (int64_t k = 2;; ++k) {
        std::string candidate = std::string(base) + "_" + std::to_string(k);
        if (!names_.contains(candidate)) return candidate;
    }
}

// ---- Destruction ----

void TKivoBaseList::ScheduleDestroy(TKivoObject& object) {
    if (object.scheduled_ || IndexOf(object) < 0) return;
    object.scheduled_ = true;
    scheduled_.push_back(object.handle_);
}

void TKivoBaseList::Destroy(TKivoObject& object) {
    // Freeing under a walk of the registry would pull objects from under it.
    if (walking_ > 0) {
        ScheduleDestroy(object);
        return;
    }
    Free(object);
    CompactRegistry(false);
}

void TKivoBaseList::Free(TKivoObject& object) {
    if (IndexOf(object) < 0) return;
    TKivoControl* control = object.AsControl();
    if (control == nullptr) {
        Forget(object);
        return;
    }
    // Destroying shows what lay below, like hiding.
    control->Invalidate();
    if (TKivoControl* parent = control->Parent()) parent->RemoveChild(*control);
    FreeDetached(*control);
}

void TKivoBaseList::FreeDetached(TKivoControl& control) {
    // The whole subtree is unlinked first, so that nothing below is drawn or invalidated while
    // it goes, and each list of children is dropped whole rather than child by child (which
    // would cost the number of siblings for every child).
    std::vector<TKivoControl*> order{&control};
    for (size_t i = 0; i < order.size(); ++i) {
        for (TKivoControl* child : order[i]->children_)
            order.push_back(child);
    }
    for (TKivoControl* doomed : order) {
        doomed->children_.clear();
        doomed->parent_ = nullptr;
    }
    // The deepest first, as children go before their parents.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TKivoControl* doomed = *it;
        doomed->FreeMotion();
        Forget(*doomed);
    }
}

void TKivoBaseList::Forget(TKivoObject& object) {
    const ObjectHandle handle = object.handle_;
    if (focus_ == handle) {
        // A freed object gives the focus up without an event: it could not run one.
        focus_ = {};
        focusRecompute_ = true;
    }
    for (auto& layer : layers_) {
        PointerState& pointer = layer->Pointer();
        if (pointer.hover == handle) {
            pointer.hover = {};
            pointer.capture = 0;
        }
    }
    std::erase(rightClickScrap_, handle);
    events_.RemovePending(handle);
    UnindexName(object);
    handles_.Release(handle);
    object.handle_ = {};
    ++freedInRegistry_;
    registry_[object.registryIndex_].reset();
}

void TKivoBaseList::CompactRegistry(bool always) {
    if (freedInRegistry_ == 0) return;
    if (!always && freedInRegistry_ * 2 < registry_.size()) return;
    std::erase(registry_, nullptr);
    for (size_t i = 0; i < registry_.size(); ++i)
        registry_[i]->registryIndex_ = i;
    freedInRegistry_ = 0;
}

void TKivoBaseList::FreeScheduled() {
    std::vector<ObjectHandle> scheduled = std::move(scheduled_);
    scheduled_.clear();
    // Many siblings often end together (a scene's worth of objects scrapped at once): each
    // parent's list of children is filtered once for all of them rather than once per object.
    std::vector<TKivoControl*> doomed;
    std::vector<TKivoControl*> parents;
    for (ObjectHandle handle : scheduled) {
        TKivoObject* object = Resolve(handle);
        if (object == nullptr || IndexOf(*object) < 0) continue;
        TKivoControl* control = object->AsControl();
        if (control == nullptr) {
            Forget(*object);
            continue;
        }
        control->Invalidate();
        if (TKivoControl* parent = control->Parent()) parents.push_back(parent);
        doomed.push_back(control);
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (TKivoControl* parent : parents) {
        std::erase_if(parent->children_, [](const TKivoControl* child) {
            if (!child->scheduled_) return false;
            const_cast<TKivoControl*>(child)->parent_ = nullptr;
            return true;
        });
    }
    for (TKivoControl* control : doomed) {
        // An object below another one of the list went with it.
        if (Resolve(control->Handle()) == control) FreeDetached(*control);
    }
    CompactRegistry(false);
}

// ---- Focus ----

void TKivoBaseList::SetFocus(TKivoControl* control) {
    TKivoControl* old = FocusedControl();
    if (old == control) return;
    if (old != nullptr && !old->Name().empty() && !old->Busy()) {
        old->PostEvent(HandlerCode(Handler::FocusOut), old->HandlerText(Handler::FocusOut));
    }
    focus_ = control != nullptr ? control->Handle() : ObjectHandle{};
    focusRecompute_ = false;
    if (control == nullptr) return;
    control->PostEvent(HandlerCode(Handler::FocusIn), control->HandlerText(Handler::FocusIn));
    control->FocusGained();
}

void TKivoBaseList::DropFocus() {
    SetFocus(nullptr);
    focusRecompute_ = true;
}

void TKivoBaseList::AddRightClickScrap(TKivoControl& control) {
    if (std::find(rightClickScrap_.begin(), rightClickScrap_.end(), control.Handle()) ==
        rightClickScrap_.end()) {
        rightClickScrap_.push_back(control.Handle());
    }
}

void TKivoBaseList::RemoveRightClickScrap(const TKivoControl& control) {
    std::erase(rightClickScrap_, control.Handle());
}

// ---- Object directory ----

std::optional<std::string> TKivoBaseList::NameOf(ObjectHandle handle) const {
    const TKivoObject* object = Resolve(handle);
    if (object == nullptr) return std::nullopt;
    return object->Name();
}

ObjectHandle TKivoBaseList::FindByName(std::string_view name) const {
    if (name.empty()) return {};
    TKivoObject* object = const_cast<TKivoBaseList*>(this)->FindComponent(name);
    return object != nullptr ? object->Handle() : ObjectHandle{};
}

}  // namespace kivo
