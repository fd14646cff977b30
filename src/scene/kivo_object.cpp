#include "scene/kivo_object.h"

#include "scene/kivo_base_list.h"

namespace kivo {

void TKivoObject::Rename(std::string name) {
    if (name == name_) return;
    // An empty name is no name: nobody gives it up.
    if (!name.empty()) {
        for (TKivoObject* holder : root_.ObjectsNamed(name)) {
            if (holder != this) ResolveNameCollision(*holder);
        }
    }
    root_.SetObjectName(*this, std::move(name));
}

void TKivoObject::SetPriority(int32_t priority) {
    priority_ = priority;
    subPriority_ = 0;
}

void TKivoObject::SetSubPriority(int32_t subPriority) {
    subPriority_ = subPriority;
}

bool TKivoObject::PostEvent(uint8_t code, const std::string& handler,
                            std::vector<std::string> arguments, bool noDuplicate) {
    if (handler.empty() || Busy() || InsideCabinet()) return false;
    TTimerList& events = root_.Events();
    if (noDuplicate && events.Contains(handle_, code)) return false;
    events.Post(TTimerData{handler, handle_, code, 0, std::move(arguments)});
    return true;
}

const PropertyMap& TKivoObject::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m{};
        m[PR_NAME] = Accessor<&TKivoObject::Name, &TKivoObject::Rename>();
        m[PR_PRIORITY] = Accessor<&TKivoObject::Priority, &TKivoObject::SetPriority>();
        m[PR_COMPOTYPE] = Accessor<&TKivoObject::Kind>();
        m[PR_TAG] = Accessor<&TKivoObject::Tag, &TKivoObject::SetTag>();
        return m;
    }();
    return map;
}

void TKivoObject::Save(ByteWriter& writer) const {
    writer.WriteCountedString(name_);
    writer.WriteI32(priority_);
    writer.WriteI32(subPriority_);
    writer.WriteCountedString(tag_);
}

void TKivoObject::Load(ByteReader& reader, int32_t version) {
    std::string name = reader.ReadCountedString();
    priority_ = reader.ReadI32();
    subPriority_ = version >= kSaveVersionSubPriority ? reader.ReadI32() : 0;
    tag_ = version >= kSaveVersionTag ? reader.ReadCountedString() : std::string();
    Rename(std::move(name));
}

void TKivoComponent::ResolveNameCollision(TKivoObject& holder) {
    Root().ScheduleDestroy(holder);
    Root().SetObjectName(holder, std::string());
}

}  // namespace kivo
