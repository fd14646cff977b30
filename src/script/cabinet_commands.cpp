#include "script/cabinet_commands.h"

#include <algorithm>

#include "scene/scene_commands.h"
#include "script/call_man.h"
#include "script/object_commands.h"
#include "script/param.h"
#include "script/script_context.h"

namespace kivo {

void TComCabinet::Load(CommandRecord& record) {
    TCommand::Load(record);
    properties_ = TakeField<ComponentProperties>(record, "properties");
    exclude_ = TakeField<TKivoParser>(record, "exclude");
    names_ = TakeField<std::vector<TKivoParser>>(record, "names");
}

std::string TComCabinet::CabinetName(TCallMan& man) const {
    const auto held = std::find_if(properties_.begin(), properties_.end(),
                                   [](const PropertyExpr& p) { return p.id == PR_NAME; });
    if (held == properties_.end()) return {};
    const ExpressionResult name = man.Evaluate(held->expr);
    return name ? name->AsString() : std::string();
}

void TComCabinet::MoveSelected(TCallMan& man, ObjectHandle from, ObjectHandle to,
                               ObjectHandle skip) const {
    SceneCommands& scene = man.Context().scene;
    const bool exclude = man.EvaluateFlag(exclude_).value_or(false);
    const std::vector<std::string> names = ListedNames(man, names_);
    const std::vector<ObjectHandle> children = scene.ChildrenOf(from);
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        // A cabinet under the layer it empties stays where it is, never inside itself.
        if (*child == skip) continue;
        const std::string name = scene.NameOf(*child).value_or(std::string());
        const bool listed = std::find(names.begin(), names.end(), name) != names.end();
        if (listed != exclude) scene.MoveTo(*child, to);
    }
}

void TComCabinet::DeleteIfEmpty(SceneCommands& scene, ObjectHandle cabinet) {
    if (scene.ChildrenOf(cabinet).empty()) scene.Delete(cabinet);
}

void TComCabinetSave::Execute(TCallMan& man) {
    ++man.State().pc;
    SceneCommands& scene = man.Context().scene;
    const std::string name = CabinetName(man);
    // Without a name the lookup would find a layer, and nothing could fetch the objects back.
    if (name.empty()) return;
    ObjectHandle cabinet = scene.FindByName(name);
    if (scene.KindOf(cabinet) != LT_CABINET) {
        cabinet = scene.Create(LT_CABINET, scene.Layer(0), name);
        if (cabinet.IsNull()) return;
        scene.CompleteCreation(cabinet);
    }
    MoveSelected(man, scene.Layer(1 - scene.ActiveLayer()), cabinet, cabinet);
    DeleteIfEmpty(scene, cabinet);
}

void TComCabinetLoad::Execute(TCallMan& man) {
    ++man.State().pc;
    SceneCommands& scene = man.Context().scene;
    const std::string name = CabinetName(man);
    if (name.empty()) return;
    const ObjectHandle cabinet = scene.FindByName(name);
    if (scene.KindOf(cabinet) != LT_CABINET) return;
    MoveSelected(man, cabinet, scene.Layer(1 - scene.ActiveLayer()), {});
    DeleteIfEmpty(scene, cabinet);
}

}  // namespace kivo
