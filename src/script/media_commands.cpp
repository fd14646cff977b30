#include "script/media_commands.h"

#include "base/error.h"
#include "script/call_man.h"
#include "script/object_commands.h"
#include "script/param.h"
#include "script/script_context.h"

namespace kivo {

namespace {

// A string expression's text when it has a non-empty value.
std::string TextOf(TCallMan& man, const TKivoParser& expr) {
    const ExpressionResult value = man.Evaluate(expr);
    return value ? value->AsString() : std::string();
}

}  // namespace

// ---- MediaPlay --------------------------------------------------------------------------------

void TComMediaPlay::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
}

void TComMediaPlay::Execute(TCallMan& man) {
    ++man.State().pc;
    const ObjectHandle object = FindNamed(man, object_);
    if (!object.IsNull()) man.Context().media.PlayFromStart(object);
}

// ---- MovieStop --------------------------------------------------------------------------------

void TComMovieStop::Load(CommandRecord& record) {
    TCommand::Load(record);
    object_ = TakeField<TKivoParser>(record, "object");
    fadeTime_ = TakeField<TKivoParser>(record, "fadeTime");
    waitExpr_ = TakeField<TKivoParser>(record, "wait");
    eventsBlockedExpr_ = TakeField<TKivoParser>(record, "eventsBlocked");
}

void TComMovieStop::Begin(TCallMan& man) {
    eventsBlocked_ = man.EvaluateFlag(eventsBlockedExpr_).value_or(false);
    wait_ = false;
    targetName_.clear();
    target_ = FindNamed(man, object_);
    const int32_t fadeTime = man.EvaluateInt(fadeTime_).value_or(0);
    if (target_.IsNull()) return;
    MediaPort& media = man.Context().media;
    SceneCommands& scene = man.Context().scene;
    if (fadeTime <= 0) {
        media.SetPlayState(target_, LP_STOP);
        // The stop may already have freed it.
        if (scene.NameOf(target_)) scene.Delete(target_);
        target_ = {};
        return;
    }
    // Only what plays can fade out; anything else is left as it is.
    const std::optional<int32_t> state = media.PlayState(target_);
    if (!media.SourceAvailable(target_) || !state || (*state != LP_PLAY && *state != LP_PLAYFADE)) {
        target_ = {};
        return;
    }
    TParamInt delay;
    delay.SetInteger(fadeTime);
    scene.WriteProperty(target_, PR_DELAY, delay);
    media.SetPlayState(target_, LP_STOPFADE);
    // Fading out renames the object out of the way of a new one of the same name.
    targetName_ = scene.NameOf(target_).value_or(std::string());
    wait_ = man.EvaluateFlag(waitExpr_).value_or(false);
}

void TComMovieStop::Execute(TCallMan& man) {
    SceneCommands& scene = man.Context().scene;
    if (wait_ && target_.IsNull() && !targetName_.empty()) target_ = scene.FindByName(targetName_);
    // The object frees itself when its fade ends; until then a waiting stop stays, and
    // waiting ends the frame's run even under a continue flag.
    if (wait_ && !target_.IsNull() && scene.NameOf(target_)) {
        man.State().continueFlag = false;
        return;
    }
    wait_ = false;
    target_ = {};
    targetName_.clear();
    ++man.State().pc;
}

void TComMovieStop::SaveRunningState(ByteWriter& writer) const {
    WriteRunningStateSignature(writer);
    writer.WriteCountedString(targetName_);
    writer.WriteBool(wait_);
    writer.WriteBool(eventsBlocked_);
}

void TComMovieStop::RestoreRunningState(ByteReader& reader) {
    const int32_t version = ReadRunningStateVersion(reader);
    targetName_ = reader.ReadCountedString();
    wait_ = reader.ReadBool();
    eventsBlocked_ = version > 99 && reader.ReadBool();
    // The handle is found again by name on the first Execute; a target that is gone lets
    // the stop go on.
    target_ = {};
}

// ---- PropMotion -------------------------------------------------------------------------------

void TComPropMotion::Load(CommandRecord& record) {
    TCommand::Load(record);
    name_ = TakeField<TKivoParser>(record, "name");
    object_ = TakeField<TKivoParser>(record, "object");
    property_ = TakeField<TKivoParser>(record, "property");
    value_ = TakeField<TKivoParser>(record, "value");
    duration_ = TakeField<TKivoParser>(record, "duration");
    curve_ = TakeField<TKivoParser>(record, "curve");
    paused_ = TakeField<TKivoParser>(record, "paused");
}

void TComPropMotion::Execute(TCallMan& man) {
    ++man.State().pc;
    SceneCommands& scene = man.Context().scene;
    const ObjectHandle motion = scene.Create(LT_PROPMOTION, {}, {});
    if (motion.IsNull()) return;
    const std::string name = TextOf(man, name_);
    if (!name.empty()) {
        TParamStr value;
        value.SetString(name);
        scene.WriteProperty(motion, PR_NAME, value);
    }
    PropMotionSetup setup;
    setup.target = TextOf(man, object_);
    const std::optional<int32_t> property = man.EvaluateInt(property_);
    if (!property) throw KivoError("プロパティ指定が不正です");
    setup.property = *property;
    if (const ExpressionResult end = man.Evaluate(value_)) setup.endValue = end->AsFloat();
    setup.duration = man.EvaluateInt(duration_).value_or(0);
    setup.curve = man.EvaluateInt(curve_).value_or(MT_NORMAL);
    setup.paused = man.EvaluateFlag(paused_).value_or(false);
    man.Context().media.SetUpMotion(motion, setup);
}

}  // namespace kivo
