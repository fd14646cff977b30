#include "scene/scene_root.h"
#include "scene/kivo_custom_list_box.h"

#include "scene/kivo_mes.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_prev_menu.h"
#include "scene/kivo_read_list.h"
#include "scene/property_table.h"

namespace kivo {

namespace {

SceneDumpNode DumpNode(const TKivoControl& control) {
    SceneDumpNode node;
    node.className = std::string(control.ClassName());
    node.name = control.Name();
    node.visible = control.Visible();
    node.rect = control.BoundsRect();
    // The properties the object's class has; the rest would only repeat the defaults.
    const PropertyMap& slots = control.Properties();
    for (int32_t id = 0; id < kPropertyCount; ++id) {
        if (slots[static_cast<size_t>(id)].get == nullptr) continue;
        node.properties.push_back(
            {std::string(Properties()[static_cast<size_t>(id)].name), ReadProperty(control, id)});
    }
    for (const TKivoControl* child : control.Children())
        node.children.push_back(DumpNode(*child));
    return node;
}

}  // namespace

SceneRoot::SceneRoot(const PlayerState& state, TTimerList& events, TParamCollection* variables,
                     SceneWindow* window)
    : root_(state, window, &events) {
    if (variables != nullptr) root_.AttachVariables(*variables);
}

SceneRoot::~SceneRoot() {
    root_.DetachVariables();
}

void SceneRoot::SetPictureFiles(PictureFiles* files) {
    root_.Images().SetFiles(files);
    root_.SetPictures(files != nullptr ? &pictures_ : nullptr);
}

void SceneRoot::DumpScene(SceneDump& dump) const {
    dump = SceneDump{};
    dump.activeLayer = root_.ActiveIndex();
    for (int32_t index = 0; index < 2; ++index)
        dump.layers.push_back(DumpNode(Mutable().Layer(index)));
}

ObjectHandle SceneRoot::FindByName(std::string_view name) const {
    const TKivoObject* object = Mutable().FindComponent(name);
    return object != nullptr ? object->Handle() : ObjectHandle{};
}

ObjectHandle SceneRoot::FindControl(std::string_view name) const {
    const TKivoControl* control = Mutable().FindControl(name);
    return control != nullptr ? control->Handle() : ObjectHandle{};
}

std::optional<int32_t> SceneRoot::KindOf(ObjectHandle object) const {
    const TKivoObject* found = root_.Resolve(object);
    if (found == nullptr) return std::nullopt;
    return found->Kind();
}

ObjectHandle SceneRoot::ParentOf(ObjectHandle object) const {
    const TKivoControl* control = root_.ResolveControl(object);
    if (control == nullptr || control->Parent() == nullptr) return {};
    return control->Parent()->Handle();
}

std::vector<ObjectHandle> SceneRoot::ChildrenOf(ObjectHandle object) const {
    std::vector<ObjectHandle> children;
    if (const TKivoControl* control = root_.ResolveControl(object)) {
        for (const TKivoControl* child : control->Children())
            children.push_back(child->Handle());
    }
    return children;
}

std::vector<std::string> SceneRoot::ListNames(std::optional<int32_t> kind,
                                              std::optional<ObjectHandle> parent) const {
    std::vector<std::string> names;
    const TKivoControl* parentControl = nullptr;
    if (parent) {
        parentControl = root_.ResolveControl(*parent);
        // A parent that is gone, or is no control, has no children to list.
        if (parentControl == nullptr) return names;
    }
    (void)root_.ListCompo(names, kind.value_or(-1), parentControl);
    return names;
}

ObjectHandle SceneRoot::Create(int32_t kind, ObjectHandle parent, std::string_view name) {
    TKivoObject* object = root_.CreateObject(kind);
    if (object == nullptr) return {};
    if (TKivoControl* control = object->AsControl()) {
        TKivoControl* parentControl = root_.ResolveControl(parent);
        control->SetParent(parentControl != nullptr ? parentControl : &root_.ActiveLayer());
    }
    if (!name.empty()) object->Rename(std::string(name));
    return object->Handle();
}

void SceneRoot::CompleteCreation(ObjectHandle object) {
    if (TKivoObject* found = root_.Resolve(object)) found->CreationComplete();
}

void SceneRoot::KeepExpression(ObjectHandle object, int32_t prId, const TKivoParser& expression) {
    if (TKivoObject* found = root_.Resolve(object)) found->KeepExpression(prId, expression);
}

void SceneRoot::SetPlayState(ObjectHandle object, int32_t state) {
    if (TKivoObject* found = root_.Resolve(object)) found->SetPlayState(state);
}

bool SceneRoot::ItemChecked(ObjectHandle object, int32_t index) const {
    const auto* list = dynamic_cast<const TKivoCustomListBox*>(root_.Resolve(object));
    return list != nullptr && list->Checked(index);
}

void SceneRoot::SetItemChecked(ObjectHandle object, int32_t index, bool checked) {
    if (auto* list = dynamic_cast<TKivoCustomListBox*>(root_.Resolve(object)))
        list->SetChecked(index, checked);
}

bool SceneRoot::ItemFlagOf(ObjectHandle object, std::string_view index, ItemFlag flag) const {
    const TKivoObject* found = root_.Resolve(object);
    if (found == nullptr) return false;
    const auto* menu = dynamic_cast<const TKivoPrevMenu*>(found);
    if (menu == nullptr) return true;
    const int32_t button = menu->IndexOf(index);
    return flag == ItemFlag::Enabled ? menu->ButtonEnabled(button) : menu->ButtonVisible(button);
}

void SceneRoot::SetItemFlag(ObjectHandle object, std::string_view index, ItemFlag flag, bool on) {
    auto* menu = dynamic_cast<TKivoPrevMenu*>(root_.Resolve(object));
    if (menu == nullptr) return;
    const int32_t button = menu->IndexOf(index);
    if (flag == ItemFlag::Enabled) {
        menu->SetButtonEnabled(button, on);
    } else {
        menu->SetButtonVisible(button, on);
    }
}

void SceneRoot::MoveTo(ObjectHandle object, ObjectHandle parent) {
    TKivoControl* control = root_.ResolveControl(object);
    TKivoControl* parentControl = root_.ResolveControl(parent);
    if (control != nullptr && parentControl != nullptr) control->SetParent(parentControl);
}

void SceneRoot::Delete(ObjectHandle object) {
    TKivoObject* found = root_.Resolve(object);
    // The layers are the scene's own and outlive every script.
    if (found == nullptr || (found->AsControl() != nullptr && found->AsControl()->AsLayer())) {
        return;
    }
    // Nothing walks the registry while commands run, so the object and its children go now
    // and no later lookup of the script finds them.
    root_.Destroy(*found);
}

bool SceneRoot::InPrimary(ObjectHandle object) const {
    const TKivoObject* found = root_.Resolve(object);
    return found != nullptr && Mutable().InPrimary(*found);
}

std::optional<SceneCommands::LayerPoint> SceneRoot::ClientOrigin(ObjectHandle object) const {
    const TKivoObject* found = root_.Resolve(object);
    const TKivoControl* control = found != nullptr ? found->AsControl() : nullptr;
    if (control == nullptr) return std::nullopt;
    return LayerPoint{control->AbsLeft(), control->AbsTop()};
}

bool SceneRoot::ReadProperty(ObjectHandle object, int32_t prId, TCustomParam& value) const {
    const TKivoObject* found = root_.Resolve(object);
    if (found == nullptr) return false;
    GetProp(*found, prId, value);
    return true;
}

void SceneRoot::WriteProperty(ObjectHandle object, int32_t prId, const TCustomParam& value) {
    if (TKivoObject* found = root_.Resolve(object)) SetProp(*found, prId, value);
}

ObjectHandle SceneRoot::Layer(int32_t index) const {
    return Mutable().Layer(index).Handle();
}

void SceneRoot::SetActiveLayer(int32_t index, int32_t transition, int32_t duration, bool force,
                               int32_t p1, int32_t p2) {
    if (transition <= 0) {
        root_.SetActiveLayer(index, force);
        return;
    }
    if (index != root_.ActiveIndex()) root_.SetActiveLayer(index, force);
    // The first parameter takes p2 and the second p1, as callers of this form expect.
    if (root_.StartTransition(transition, duration, force)) {
        root_.SetTransitionParam(0, p2);
        root_.SetTransitionParam(1, p1);
    }
}

bool SceneRoot::StartTransition(int32_t code, int32_t duration, bool force) {
    return root_.StartTransition(code, duration, force);
}

// ---- Message windows ----

TKivoMes* SceneRoot::MessageWindow(ObjectHandle window) const {
    TKivoObject* object = root_.Resolve(window);
    return object != nullptr && object->Kind() == LT_MES ? static_cast<TKivoMes*>(object) : nullptr;
}

bool SceneRoot::IsMessageWindow(ObjectHandle window) const {
    return MessageWindow(window) != nullptr;
}

void SceneRoot::ShowRecord(ObjectHandle window, std::string_view pageFile, int32_t command,
                           bool readMarks) {
    if (TKivoMes* mes = MessageWindow(window))
        mes->ShowRecord(std::string(pageFile), command, readMarks);
}

bool SceneRoot::Revealing(ObjectHandle window) const {
    const TKivoMes* mes = MessageWindow(window);
    return mes != nullptr && mes->PlayingState() != 2;
}

void SceneRoot::ClearText(ObjectHandle window) {
    if (TKivoMes* mes = MessageWindow(window)) mes->ClearText();
}

int32_t SceneRoot::HistorySize() const {
    const TKivoNewHistory* history = root_.Text().history;
    return history != nullptr ? history->Size() : 0;
}

void SceneRoot::ShowHistory(ObjectHandle window, int32_t start, int32_t count, bool compact) {
    if (TKivoMes* mes = MessageWindow(window)) mes->ShowBacklog(start, count, compact);
}

void SceneRoot::ClearHistory() {
    if (TKivoNewHistory* history = root_.Text().history) history->Clear();
}

void SceneRoot::ClearReadMarks() {
    if (TKivoReadList* marks = root_.Text().readMarks) marks->Clear();
}

std::optional<std::array<int32_t, 6>> SceneRoot::HistoryFormatOf(ObjectHandle window) const {
    const TKivoMes* mes = MessageWindow(window);
    if (mes == nullptr) return std::nullopt;
    return std::array<int32_t, 6>{mes->FontHeight(), mes->FontBorder(), mes->FontShadow(),
                                  mes->Width(),      mes->Height(),     mes->LineSpace()};
}

bool SceneRoot::CaptureLayer(bool back, TDIBSurface& picture) {
    TKivoBase& layer = back ? root_.InactiveLayer() : root_.ActiveLayer();
    // Only what changed is drawn again; the dirty areas stay listed for the next present.
    layer.DrawDirty();
    const TDIBSurface& drawn =
        root_.LayerShown(layer) ? root_.BackBuffer().Bitmap() : layer.OwnSurface().Bitmap();
    picture.SetSize(root_.Width(), root_.Height(), 32);
    picture.Draw(0, 0, drawn);
    return true;
}

}  // namespace kivo
