#include "script/object_commands.h"

#include <algorithm>
#include <string_view>

#include "base/error.h"
#include "scene/kivo_object.h"
#include "script/call_man.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "script/script_context.h"

namespace kivo {

namespace {

int32_t PropertyIdOf(TCallMan& man, const TKivoParser& expr) {
    const std::optional<int32_t> id = man.EvaluateInt(expr);
    if (!id) throw KivoError("プロパティ指定が不正です");
    return *id;
}

}  // namespace

ObjectHandle FindNamed(TCallMan& man, const TKivoParser& expr) {
    const ExpressionResult name = man.Evaluate(expr);
    if (!name) return {};
    const std::string text = name->AsString();
    if (text.empty()) return {};
    return man.Context().scene.FindByName(text);
}

std::vector<std::string> ListedNames(TCallMan& man, const std::vector<TKivoParser>& entries) {
    std::vector<std::string> names;
    for (const TKivoParser& entry : entries) {
        const ExpressionResult value = man.Evaluate(entry);
        if (!value) continue;
        const std::string text = value->AsString();
        std::string_view rest = text;
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            if (line.ends_with('\r')) line.remove_suffix(1);
            names.emplace_back(line);
            if (end == std::string_view::npos) break;
            rest.remove_prefix(end + 1);
        }
    }
    return names;
}

// ---- GetProp, SetProp, ObjDel -------------------------------------------------------------

void TComGetProp::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
    property_ = TakeField<TKivoParser>(record, "property");
    variable_ = TakeField<std::string>(record, "variable");
}

void TComGetProp::Execute(TCallMan& man) {
    ++man.State().pc;
    const ObjectHandle object = FindNamed(man, object_);
    if (object.IsNull()) return;
    const int32_t id = PropertyIdOf(man, property_);
    if (TParamCollectionItem* variable = man.Variables().Find(variable_))
        (void)man.Context().scene.ReadProperty(object, id, variable->Value());
}

void TComSetProp::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
    property_ = TakeField<TKivoParser>(record, "property");
    value_ = TakeField<TKivoParser>(record, "value");
}

void TComSetProp::Execute(TCallMan& man) {
    ++man.State().pc;
    // A missing object evaluates neither the property nor the value.
    const ObjectHandle object = FindNamed(man, object_);
    if (object.IsNull()) return;
    const int32_t id = PropertyIdOf(man, property_);
    if (const ExpressionResult value = man.Evaluate(value_))
        man.Context().scene.WriteProperty(object, id, *value);
}

void TComObjDel::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
}

void TComObjDel::Execute(TCallMan& man) {
    ++man.State().pc;
    const ObjectHandle object = FindNamed(man, object_);
    if (!object.IsNull()) man.Context().scene.Delete(object);
}

// ---- Flip -----------------------------------------------------------------------------------

void TComFlip::Load(CommandRecord& record) {
    TCommand::Load(record);
    wipe_ = TakeField<TKivoParser>(record, "wipe");
    time_ = TakeField<TKivoParser>(record, "time");
    transition_ = TakeField<TKivoParser>(record, "transition");
    mode_ = TakeField<TKivoParser>(record, "mode");
    names_ = TakeField<std::vector<TKivoParser>>(record, "names");
    clear_ = TakeField<TKivoParser>(record, "clear");
    param0_ = TakeField<TKivoParser>(record, "param0");
    param1_ = TakeField<TKivoParser>(record, "param1");
    mask_ = TakeField<TKivoParser>(record, "mask");
    eventsBlockedExpr_ = TakeField<TKivoParser>(record, "eventsBlocked");
}

void TComFlip::Begin(TCallMan& man) {
    state_ = 0;
    wipeCode_ = man.EvaluateInt(wipe_).value_or(0);
    if (wipeCode_ > kLastWipeCode || wipeCode_ < 0) wipeCode_ = 0;
    const std::optional<int32_t> time = man.EvaluateInt(time_);
    duration_ = std::max(time.value_or(1), 1);
    timed_ = time.value_or(0) > 0;
    eventsBlocked_ = man.EvaluateFlag(eventsBlockedExpr_).value_or(false);
    clearFlag_ = man.EvaluateFlag(clear_).value_or(false);
    const std::optional<int32_t> mode = man.EvaluateInt(mode_);
    const std::vector<std::string> names = ListedNames(man, names_);
    snapshot_ = {};
    if (mode) {
        // Without a time there is nothing to show between the two pictures.
        if (timed_) {
            snapshot_ = man.Context().scene.CreateSnapshot();
        } else {
            state_ = 3;
        }
        MoveSelected(man, *mode, names);
    }
    if (state_ != 3) StartTransition(man);
}

void TComFlip::StartTransition(TCallMan& man) {
    SceneCommands& scene = man.Context().scene;
    const bool force = man.EvaluateFlag(transition_).value_or(false);
    if (!scene.StartTransition(wipeCode_, duration_, force)) return;
    if (const std::optional<int32_t> p0 = man.EvaluateInt(param0_))
        scene.SetTransitionParam(0, *p0);
    if (const std::optional<int32_t> p1 = man.EvaluateInt(param1_))
        scene.SetTransitionParam(1, *p1);
    if (const ExpressionResult mask = man.Evaluate(mask_))
        scene.SetTransitionMask(mask->AsString());
}

void TComFlip::MoveSelected(TCallMan& man, int32_t mode, const std::vector<std::string>& names) {
    if (mode != FL_OUT && mode != FL_STAY) return;
    SceneCommands& scene = man.Context().scene;
    const ObjectHandle shown = scene.Layer(scene.ActiveLayer());
    const ObjectHandle other = scene.Layer(1 - scene.ActiveLayer());
    std::vector<ObjectHandle> children = scene.ChildrenOf(shown);
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        const std::string name = scene.NameOf(*child).value_or(std::string());
        if (name == kSnapshotName) continue;
        const bool listed = std::find(names.begin(), names.end(), name) != names.end();
        if (listed == (mode == FL_STAY)) scene.MoveTo(*child, other);
    }
}

void TComFlip::Execute(TCallMan& man) {
    switch (state_) {
        case 0:
            state_ = 1;
            man.State().continueFlag = false;
            return;
        case 1:
            startClock_ = man.Player().gameClock;
            state_ = 2;
            break;
        default:
            break;
    }
    if (state_ == 2) {
        const int64_t elapsed = int64_t{man.Player().gameClock} - startClock_;
        if (elapsed < duration_) {
            man.Context().scene.SetTransitionElapsed(static_cast<int32_t>(elapsed));
            man.State().continueFlag = false;
            return;
        }
    }
    Finish(man, false);
    ++man.State().pc;
}

void TComFlip::Abandon(TCallMan& man) {
    Finish(man, true);
}

void TComFlip::Finish(TCallMan& man, bool clearCabinets) {
    SceneCommands& scene = man.Context().scene;
    const int32_t shown = 1 - scene.ActiveLayer();
    scene.SetActiveLayer(shown, -1, 0, false, 0, 0);
    // Deleting a handle whose object is gone does nothing.
    scene.Delete(snapshot_);
    snapshot_ = {};
    if (!clearFlag_) return;
    for (ObjectHandle child : scene.ChildrenOf(scene.Layer(1 - shown))) {
        if (clearCabinets || scene.KindOf(child) != LT_CABINET) scene.Delete(child);
    }
}

void TComFlip::SaveRunningState(ByteWriter& writer) const {
    WriteRunningStateSignature(writer);
    writer.WriteI32(state_);
    writer.WriteI32(wipeCode_);
    writer.WriteI32(duration_);
    writer.WriteI32(startClock_);
    writer.WriteBool(timed_);
    writer.WriteBool(clearFlag_);
    writer.WriteBool(eventsBlocked_);
}

void TComFlip::RestoreRunningState(ByteReader& reader) {
    (void)ReadRunningStateVersion(reader);
    state_ = std::clamp(reader.ReadI32(), 0, 3);
    wipeCode_ = reader.ReadI32();
    duration_ = std::max(reader.ReadI32(), 1);
    startClock_ = reader.ReadI32();
    timed_ = reader.ReadBool();
    clearFlag_ = reader.ReadBool();
    eventsBlocked_ = reader.ReadBool();
    // System objects are not saved: a loaded game has no snapshot to delete.
    snapshot_ = {};
}

}  // namespace kivo
