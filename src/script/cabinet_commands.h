#pragma once
// SaveCabinet and LoadCabinet: park children of the layer not shown in a cabinet (an
// invisible object whose children are neither updated, drawn nor heard from) and bring them
// back. The cabinet is named by the command's PR_NAME expression; the objects moved are those
// the name list selects, or with the exclude flag those it does not. A cabinet left empty is
// deleted.

#include <string>
#include <vector>

#include "scene/object_handle.h"
#include "script/command.h"
#include "script/page_file.h"

namespace kivo {

class SceneCommands;

class TComCabinet : public TCommand {
  public:
    explicit TComCabinet(CommandCode code) : TCommand(code) {}
    void Load(CommandRecord& record) override;

  protected:
    // The cabinet's name; empty when the command gives none.
    [[nodiscard]] std::string CabinetName(TCallMan& man) const;
    // Moves the children of from that the list selects to the end of to's children, the
    // last child first; skip is never moved.
    void MoveSelected(TCallMan& man, ObjectHandle from, ObjectHandle to, ObjectHandle skip) const;
    static void DeleteIfEmpty(SceneCommands& scene, ObjectHandle cabinet);

  private:
    ComponentProperties properties_;
    TKivoParser exclude_;
    std::vector<TKivoParser> names_;
};

// SaveCabinet: the selected children of the layer not shown go into the cabinet, which is
// made under layer 0 when no cabinet has the name.
class TComCabinetSave final : public TComCabinet {
  public:
    TComCabinetSave() : TComCabinet(CommandCode::SaveCabinet) {}
    void Execute(TCallMan& man) override;
};

// LoadCabinet: the selected children of the cabinet go back to the layer not shown.
class TComCabinetLoad final : public TComCabinet {
  public:
    TComCabinetLoad() : TComCabinet(CommandCode::LoadCabinet) {}
    void Execute(TCallMan& man) override;
};

}  // namespace kivo
