#include "bake/caddy.h"

#include "host/interface.h"
#include "host/mr_properties.h"
#include "host/script.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "settings/settings.h"
#include "unwrap/null_view.h"

#include <algorithm>

namespace {

const char* const kMerge = "vellumar_merge";
const char* const kProjector = "vellumar_projector";
const char* const kPrj = "vellumar_prj";
const wchar_t* const kLayer = L"vellumar_helper_caddy_layer";

const char* attach_options(RendererKind kind) {
    return kind == VRayOld || kind == Brazil ? " attachMat:#IDToMat condenseMat:true"
                                             : " attachMat:#MatToID";
}

bool run(const std::string& script, bool debug) {
    return ExecuteMAXScriptScript(Utf8ToWide(script).c_str(), debug ? 0 : 1) != 0;
}

std::vector<INode*> nodes_named(const std::wstring& name) {
    std::vector<INode*> out;
    INode* root = GetCOREInterface()->GetRootNode();
    for (int i = 0; root != nullptr && i < root->NumberOfChildren(); ++i) {
        INode* node = root->GetChildNode(i);
        if (node != nullptr && name == node->GetName()) {
            out.push_back(node);
        }
    }
    return out;
}

// The node of that name the last script made. A user's object that happens
// to carry a caddy's name is never taken for the caddy, so it is never
// scaled, attached to or deleted.
INode* new_node_named(const std::wstring& name, const std::vector<INode*>& before) {
    for (INode* node : nodes_named(name)) {
        if (std::find(before.begin(), before.end(), node) == before.end()) {
            return node;
        }
    }
    return nullptr;
}

// The starting plane's texture vertices moved into the atlas's last corner,
// where they cover no texel centre. The pipeline's result is rebuilt from
// the base object at every evaluation, so the change is made there.
void move_plane_out_of_the_atlas(INode* caddy, TimeValue t) {
    Object* obj = caddy->GetObjectRef();
    auto* geom = dynamic_cast<GeomObject*>(obj != nullptr ? obj->FindBaseObject() : nullptr);
    if (geom == nullptr) {
        return;
    }
    NullView view;
    BOOL needDelete = 0;
    Mesh* mesh = geom->GetRenderMesh(t, caddy, view, needDelete);
    if (mesh != nullptr && mesh->getNumMapVerts(1) > 3) {
        UVVert* tv = mesh->mapVerts(1);
        tv[0] = UVVert(0.99999f, 0.99999f, 0.0f);
        tv[1] = UVVert(0.99999f, 1.0f, 0.0f);
        tv[2] = UVVert(1.0f, 0.99999f, 0.0f);
        tv[3] = UVVert(1.0f, 1.0f, 0.0f);
    }
    if (needDelete != 0) {
        delete mesh;
    }
}

void hide_from_mental_ray(INode* caddy, TimeValue t) {
    caddy->SetVisibility(t, 0.0f);
    caddy->SetPrimaryVisibility(0);
    caddy->SetSecondaryVisibility(0);
    caddy->SetCastShadows(0);
    caddy->SetRcvShadows(0);
    if (auto* mr = static_cast<INodeMentalRayProperties*>(
            caddy->GetInterface(NODEMENTALRAYPROPERTIES_INTERFACE))) {
        mr->MRSetCastModeFGIllum(INodeMentalRayProperties::kCastModeFG_Invisible);
        mr->MRSetReceiveFGIllum(false);
        mr->MRSetExcludeGlobalIllum(true);
        mr->MRSetExcludeCaustics(true);
    }
}

} // namespace

std::string CaddyName(int mapIndex) {
    return "vellumar_bake_caddy" + std::to_string(mapIndex);
}

std::string CaddyCreateScript(int mapIndex) {
    return std::string(kMerge) + " = mesh length:0.001 width:0.001 lengthsegs:1 widthsegs:1 \n " +
           kMerge + ".name = \"" + CaddyName(mapIndex) + "\"";
}

std::string CaddyMaterialScript() {
    return std::string(kMerge) + ".material = standard name:\"vellumar_caddy\" opacity:0";
}

std::string CaddyAttachScript(ULONG handle, RendererKind kind) {
    return std::string("meshop.attach ") + kMerge + " (maxOps.getNodeByHandle " +
           std::to_string(handle) + ") " + attach_options(kind) + " deleteSourceNode:false";
}

std::string CaddyProjectionScript(RendererKind kind, int channel, int mapIndex,
                                  const std::vector<ULONG>& handles, bool debug) {
    const std::string p = kProjector;
    std::string s = p + " = $" + CaddyName(mapIndex) + ".INodeBakeProjProperties\n";
    s += std::string(kPrj) + " = Projection()\n";
    s += std::string("addModifier ") + kMerge + " " + kPrj + "\n";
    s += p + ".enabled = true\n";
    s += p + ".projectionMod = " + kPrj + "\n";
    s += p + ".useCage = false\n";
    s += p + (debug ? ".warnRayMiss = true\n" : ".warnRayMiss = false\n");
    s += p + ".rayOffset = 1.0\n";
    if (kind == MentalRay) {
        s += p + ".projSpace = #raytrace\n";
        s += std::string(kPrj) + ".autoWrapTolerance = 0.01\n";
        s += p + ".rayOffset = 0.015\n";
    } else {
        s += p + ".projSpace = #uvw_match\n";
    }
    s += p + ".subObjBakeChannel = " + std::to_string(channel) + "\n";
    for (ULONG h : handles) {
        s += std::string(kPrj) + ".addObjectNode(maxOps.getNodeByHandle " + std::to_string(h) +
             ")\n";
    }
    return s;
}

bool BuildCaddies(RendererKind kind, int channel, int mapCount, const std::vector<INode*>& objects,
                  std::uint64_t groupKey, CaddySet& caddySet) {
    const bool debug = settings().bake_debug;
    const bool useProjection = kind != VRayOld && kind != Brazil;
    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    ILayerManager* layers = ip->GetLayerManager();
    ILayer* layer = layers != nullptr ? layers->GetLayer(kLayer) : nullptr;
    if (layer == nullptr && layers != nullptr) {
        layer = layers->CreateLayer(kLayer);
    }
    std::string reason;
    INode* building = nullptr;
    // Every map that has objects: a map whose first objects were deleted
    // still has objects further up the list.
    for (int m = 0; m < mapCount && reason.empty(); ++m) {
        std::vector<INode*> members;
        std::vector<ULONG> handles;
        for (INode* node : objects) {
            if (NodeMapIndex(node, groupKey) == m) {
                members.push_back(node);
                handles.push_back(node->GetHandle());
            }
        }
        if (members.empty()) {
            continue;
        }
        const std::wstring name = Utf8ToWide(CaddyName(m));
        const std::vector<INode*> before = nodes_named(name);
        const bool created = run(CaddyCreateScript(m), debug);
        building = new_node_named(name, before);
        if (!created || building == nullptr) {
            reason = "could not create caddy helper.";
            break;
        }
        building->Scale(t, Matrix3(1), Point3(5000.0f, 5000.0f, 5000.0f), 0, 1, PIV_NONE, 0);
        if (useProjection && !run(CaddyMaterialScript(), debug)) {
            reason = "caddy material failed.";
            break;
        }
        for (ULONG h : handles) {
            if (!run(CaddyAttachScript(h, kind), debug)) {
                reason = "could not collect all bake objects.";
                break;
            }
        }
        if (!reason.empty()) {
            break;
        }
        if (useProjection) {
            if (!run(CaddyProjectionScript(kind, channel, m, handles, debug), debug)) {
                reason = "could not set up projector.";
                break;
            }
            if (kind == MentalRay) {
                hide_from_mental_ray(building, t);
            }
        } else {
            for (INode* node : members) {
                caddySet.switches.emplace_back(node, node->GetPrimaryVisibility() != 0);
            }
        }
        // The copies own materials show through the plane's texture
        // coordinates too, so the plane leaves the atlas for every renderer.
        move_plane_out_of_the_atlas(building, t);
        if (layer != nullptr) {
            layer->AddToLayer(building);
        }
        caddySet.caddies.push_back(building);
        caddySet.maps.push_back(m);
        building = nullptr;
    }
    if (reason.empty()) {
        return true;
    }
    RemoveCaddies(caddySet);
    if (building != nullptr) {
        ip->DeleteNode(building, 1);
    }
    report("vellumar caddy: " + reason +
               "\nVellumar needs to fall back to alternate merge mode. This is slower and might "
               "cause issues with specific bake tasks like large scale hdr baking.",
           0);
    return false;
}

void RemoveCaddies(CaddySet& caddySet) {
    Interface* ip = GetCOREInterface();
    for (INode* caddy : caddySet.caddies) {
        ip->DeleteNode(caddy, 1);
    }
    caddySet.caddies.clear();
    caddySet.maps.clear();
    for (const auto& [node, on] : caddySet.switches) {
        node->SetPrimaryVisibility(on ? 1 : 0);
    }
    caddySet.switches.clear();
    if (ILayerManager* layers = ip->GetLayerManager()) {
        layers->DeleteLayer(kLayer);
    }
}
