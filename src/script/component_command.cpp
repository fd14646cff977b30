#include "script/component_command.h"

#include <algorithm>
#include <array>
#include <utility>

#include "script/call_man.h"
#include "script/param.h"
#include "script/script_context.h"

namespace kivo {

namespace {

// The order creating commands write their properties in: the name and the parent first, the
// geometry before what depends on it.
constexpr std::array<int32_t, kPropertyCount> kApplicationOrder = {
    0,   1,   2,   7,   132, 100, 5,   6,   3,   4,   8,   157, 9,   10,  11,  12,  13,  14,
    159, 160, 15,  16,  17,  18,  19,  20,  21,  22,  23,  24,  153, 154, 155, 156, 25,  26,
    27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,
    45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,
    63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,  161,
    80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,  96,  97,
    98,  99,  101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116,
    117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 133, 134, 135,
    136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 158};

// Properties a script sets only after creation: the caret, where particles appear, the play
// state, the kind and the plus offsets.
bool WrittenAtCreation(int32_t id) {
    switch (id) {
        case PR_CARETX:
        case PR_CARETY:
        case PR_APPEARX:
        case PR_APPEARY:
        case PR_PLAYING:
        case PR_COMPOTYPE:
        case PR_PLUSX:
        case PR_PLUSY:
        case PR_CARETHEIGHT:
            return false;
        default:
            return true;
    }
}

}  // namespace

std::optional<int32_t> CreatedKind(CommandCode code) {
    using C = CommandCode;
    static constexpr std::pair<CommandCode, int32_t> kKinds[] = {
        {C::BoxNew, LT_BOX},           {C::ImgNew, LT_IMAGES},
        {C::Button, LT_BUTTON},        {C::TileNew, LT_TILE},
        {C::SliderNew, LT_SLIDER},     {C::ScrollbarNew, LT_SCROLLBAR},
        {C::GaugeNew, LT_GAUGE},       {C::MapImgNew, LT_MAPIMG},
        {C::PrevMenuNew, LT_PREVMENU}, {C::FireNew, LT_FIRE},
        {C::ParticleNew, LT_PARTICLE}, {C::WaveNew, LT_WAVE},
        {C::MesNew, LT_MES},           {C::EditNew, LT_EDIT},
        {C::MemoNew, LT_MEMO},         {C::Caption, LT_LABEL},
        {C::CGCaption, LT_CGLABEL},    {C::Cinema, LT_CINEMA},
        {C::Timer, LT_TIMER},          {C::Menu, LT_MENU},
        {C::Sound, LT_SOUND},          {C::Movie, LT_VIDEO},
    };
    for (const auto& [command, kind] : kKinds) {
        if (command == code) return kind;
    }
    return std::nullopt;
}

std::unique_ptr<TCustomParam> CreationDefault(int32_t prId) {
    const PropertyInfo* info = FindProperty(prId);
    std::unique_ptr<TCustomParam> value = CreateParam(info != nullptr ? info->type : PT_INT);
    switch (prId) {
        case PR_ZOOMX:
        case PR_ZOOMY:
        case PR_TEXTDELAY:
            value->SetInteger(256);
            break;
        case PR_COLOR:
        case PR_BORDERCOLOR:
        case PR_HOVERCOLOR:
            value->SetInteger(-1);
            break;
        case PR_ALPHA:
            value->SetInteger(255);
            break;
        case PR_FONTHEIGHT:
            value->SetInteger(16);
            break;
        case PR_VOLUME:
            value->SetInteger(1000);
            break;
        case PR_VISIBLE:
        case PR_OVERLAY:
            value->SetFlag(true);
            break;
        case PR_COLCOUNT:
        case PR_ROWCOUNT:
        case PR_AMP:
        case PR_SMALLCHANGE:
        case PR_LARGECHANGE:
        case PR_GLYPHWIDTH:
        case PR_GLYPHHEIGHT:
            value->SetInteger(1);
            break;
        case PR_WAVELEN:
            value->SetInteger(100);
            break;
        default:
            break;
    }
    return value;
}

void TComNotBuilt::Load(CommandRecord& record) {
    TCommand::Load(record);
    fields_ = std::move(record.fields);
}

void TComNotBuilt::Execute(TCallMan& man) {
    ++man.State().pc;
}

void TComComponent::Execute(TCallMan& man) {
    ++man.State().pc;
    const std::optional<int32_t> kind = CreatedKind(Code());
    if (!kind) return;
    SceneCommands& scene = man.Context().scene;
    const ObjectHandle object = scene.Create(*kind, {}, {});
    // Kinds the scene does not make yet leave nothing to write to.
    if (object.IsNull()) return;
    const ComponentProperties* properties =
        Fields().empty() ? nullptr : std::get_if<ComponentProperties>(&Fields().front());
    if (properties != nullptr) {
        for (int32_t id : kApplicationOrder) {
            const auto held = std::find_if(properties->begin(), properties->end(),
                                           [id](const PropertyExpr& p) { return p.id == id; });
            if (held != properties->end()) ApplyProperty(man, object, *held);
        }
        // Objects that evaluate an expression again later (particles) keep their own copy.
        for (const int32_t id : {PR_APPEARX, PR_APPEARY, PR_DELAY}) {
            const auto held = std::find_if(properties->begin(), properties->end(),
                                           [id](const PropertyExpr& p) { return p.id == id; });
            if (held != properties->end()) scene.KeepExpression(object, id, held->expr);
        }
    }
    scene.CompleteCreation(object);
    if (Code() == CommandCode::Sound || Code() == CommandCode::Movie) StartPlaying(man, object);
}

void TComComponent::StartPlaying(TCallMan& man, ObjectHandle object) const {
    // A sound or movie with a fade time fades in; one without starts at its full level.
    TParamInt fadeTime;
    (void)man.Context().scene.ReadProperty(object, PR_DELAY, fadeTime);
    man.Context().media.SetPlayState(object, fadeTime.AsInteger() != 0 ? LP_PLAYFADE : LP_PLAY);
}

void TComComponent::ApplyProperty(TCallMan& man, ObjectHandle object,
                                  const PropertyExpr& property) const {
    const int32_t id = property.id;
    if (!WrittenAtCreation(id)) return;
    SceneCommands& scene = man.Context().scene;
    ExpressionResult value = man.Evaluate(property.expr);
    if (!value) value = CreationDefault(id);
    if (id == PR_NAME) {
        if (!value->AsString().empty()) scene.WriteProperty(object, id, *value);
        return;
    }
    if (id == PR_PARENT) {
        // A parent that no control bears leaves the object on the shown layer.
        const ObjectHandle parent = scene.FindControl(value->AsString());
        scene.MoveTo(object, parent.IsNull() || value->AsString().empty()
                                 ? scene.Layer(scene.ActiveLayer())
                                 : parent);
        return;
    }
    scene.WriteProperty(object, id, *value);
}

}  // namespace kivo
