#include "standalone/scene/node_ops.h"

#include "standalone/ui/toolkit.h"

#include "host/notify.h"

namespace {

struct SceneRemap : RemapDir {};

} // namespace

SceneNode* CloneNode(Scene& scene, SceneNode* node, const std::wstring& name) {
    SceneRemap remap;
    Object* obj = node->GetObjectRef();
    Object* copy = obj != nullptr ? static_cast<Object*>(obj->Clone(remap)) : nullptr;
    SceneNode* clone = scene.CreateNode(name, copy);
    clone->SetObjectTM(node->GetObjectTM(0));
    for (const auto& [key, value] : node->UserProps()) {
        clone->SetUserProp(key, value);
    }
    return clone;
}

void CloseModifyPanel() {
    if (Toolkit* tk = Toolkit::Current(); tk != nullptr && tk->edited_object() != nullptr) {
        tk->EditObject(nullptr);
    }
}

void NamedSetsChanged() {
    if (Toolkit* tk = Toolkit::Current()) {
        tk->SelectionChanged();
    }
}

void CollapseStack(SceneNode* node, TimeValue t) {
    Object* top = node->GetObjectRef();
    if (top == nullptr || top->SuperClassID() != GEN_DERIVOB_CLASS_ID) {
        return;
    }
    CloseModifyPanel();
    SceneRemap remap;
    Object* evaluated = node->EvalWorldState(t).obj;
    Object* collapsed =
        evaluated != nullptr ? static_cast<Object*>(evaluated->Clone(remap)) : nullptr;
    top->IncRef(); // keeps the old pipeline alive while its modifiers hear of the collapse
    node->SetObjectRef(collapsed);
    for (Object* obj = top; obj != nullptr && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID;) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i) {
            derived->GetModifier(i)->NotifyPostCollapse(node, collapsed, derived, i);
        }
        obj = derived->GetObjRef();
    }
    top->DecRef();
}

int DeleteModifierFromNode(INode& node, Modifier& mod) {
    Object* parent = nullptr; // the derived object above the current one
    for (Object* obj = node.GetObjectRef();
         obj != nullptr && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID;) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i) {
            if (derived->GetModifier(i) != &mod) {
                continue;
            }
            NotifyModAddDel event{&node, &mod, derived->GetModContext(i)};
            BroadcastNotification(NOTIFY_PRE_MODIFIER_DELETED, &event);
            mod.IncRef(); // alive until the notification is over
            derived->DeleteModifier(i);
            if (derived->NumModifiers() == 0) {
                Object* below = derived->GetObjRef();
                if (parent == nullptr) {
                    node.SetObjectRef(below);
                } else {
                    static_cast<IDerivedObject*>(parent)->ReferenceObject(below);
                }
            }
            event.mc = nullptr; // went with the stack entry
            BroadcastNotification(NOTIFY_POST_MODIFIER_DELETED, &event);
            mod.DecRef();
            return 1;
        }
        parent = obj;
        obj = derived->GetObjRef();
    }
    return 0;
}

bool EvaluatedMesh(INode* node, TimeValue t, Mesh& out) {
    Object* obj = node->EvalWorldState(t).obj;
    if (obj == nullptr || !obj->CanConvertToType(triObjectClassID)) {
        return false;
    }
    Object* tri = obj->ConvertToType(t, triObjectClassID);
    if (tri == nullptr) {
        return false;
    }
    out = static_cast<TriObject*>(tri)->mesh;
    // A conversion made for us is ours to delete.
    if (tri != obj) {
        tri->DeleteThis();
    }
    return true;
}
