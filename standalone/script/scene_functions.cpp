#include "standalone/script/scene_functions.h"

#include "host/mtl.h"
#include "host/text.h"
#include "standalone/core.h"
#include "standalone/materials/standard_material.h"
#include "standalone/scene/derived_object.h"
#include "standalone/scene/mesh_attach.h"
#include "standalone/scene/node_ops.h"
#include "standalone/scene/projection_modifier.h"
#include "standalone/script/function_struct.h"

#include <cmath>
#include <cwchar>

namespace {

// Holds a reference to a host object for as long as scripts hold the value.
template <class T> class Held {
  public:
    explicit Held(T* p) : p_(p) {
        if (p_ != nullptr) {
            p_->IncRef();
        }
    }
    ~Held() {
        if (p_ != nullptr) {
            p_->DecRef();
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* get() const { return p_; }

  private:
    T* p_;
};

class MaterialValue : public ScriptObject {
  public:
    explicit MaterialValue(Mtl* mtl) : mtl_(mtl) {}
    std::string TypeName() const override {
        return mtl_.get()->ClassID() == multiMtlClassID ? "Multimaterial" : "Standardmaterial";
    }
    bool GetProperty(const std::string& name, ScriptValue& out) override {
        if (name == "name") {
            out = WideToUtf8(mtl_.get()->GetName());
            return true;
        }
        if (auto* std_mat = dynamic_cast<StdMat*>(mtl_.get()); std_mat && name == "opacity") {
            out = std_mat->GetOpacity(0) * 100.0f;
            return true;
        }
        return false;
    }
    bool SetProperty(const std::string& name, const ScriptValue& value) override {
        if (name == "name") {
            mtl_.get()->SetName(Utf8ToWide(value.AsString()));
            return true;
        }
        if (auto* std_mat = dynamic_cast<StdMat*>(mtl_.get()); std_mat && name == "opacity") {
            std_mat->SetOpacity(value.AsFloat() / 100.0f, 0);
            return true;
        }
        return false;
    }
    Mtl* mtl() const { return mtl_.get(); }

  private:
    Held<Mtl> mtl_;
};

class ProjectionValue : public ScriptObject {
  public:
    ProjectionValue(StandaloneCore& core, ProjectionModifier* mod) : core_(core), mod_(mod) {}
    std::string TypeName() const override { return "Projection"; }
    bool GetProperty(const std::string& name, ScriptValue& out) override;
    bool SetProperty(const std::string& name, const ScriptValue& value) override {
        if (name == "autowraptolerance") {
            mod_.get()->SetAutoWrapTolerance(value.AsFloat());
            return true;
        }
        return false;
    }
    ProjectionModifier* mod() const { return mod_.get(); }

  private:
    StandaloneCore& core_;
    Held<ProjectionModifier> mod_;
};

// Node values keep the handle: a node deleted behind the script's back is
// reported instead of being touched.
class NodeValue : public ScriptObject {
  public:
    NodeValue(StandaloneCore& core, ULONG handle) : core_(core), handle_(handle) {}
    std::string TypeName() const override { return "Editable_mesh"; }
    SceneNode& Node() const {
        SceneNode* node = core_.scene().NodeByHandle(handle_);
        if (node == nullptr) {
            throw ScriptError("Runtime error: Attempt to access deleted scene object");
        }
        return *node;
    }
    bool GetProperty(const std::string& name, ScriptValue& out) override;
    bool SetProperty(const std::string& name, const ScriptValue& value) override;

  private:
    StandaloneCore& core_;
    ULONG handle_;
};

class BakeProjValue : public ScriptObject {
  public:
    BakeProjValue(StandaloneCore& core, std::shared_ptr<NodeValue> node)
        : core_(core), node_(std::move(node)) {}
    std::string TypeName() const override { return "Interface"; }
    bool GetProperty(const std::string& name, ScriptValue& out) override;
    bool SetProperty(const std::string& name, const ScriptValue& value) override;

  private:
    StandaloneCore& core_;
    std::shared_ptr<NodeValue> node_;
};

ScriptValue node_value(StandaloneCore& core, INode* node) {
    if (node == nullptr) {
        return ScriptValue();
    }
    return std::shared_ptr<ScriptObject>(std::make_shared<NodeValue>(core, node->GetHandle()));
}

SceneNode& as_node(const ScriptValue& v) {
    auto node = std::dynamic_pointer_cast<NodeValue>(v.AsObject());
    if (!node) {
        throw ScriptError("Unable to convert: " + v.TypeName() + " to type: node");
    }
    return node->Node();
}

bool ProjectionValue::GetProperty(const std::string& name, ScriptValue& out) {
    if (name == "autowraptolerance") {
        out = mod_.get()->AutoWrapTolerance();
        return true;
    }
    if (name == "addobjectnode") {
        ProjectionModifier* mod = mod_.get();
        mod->IncRef(); // the function value may outlive this value
        auto keep =
            std::shared_ptr<ProjectionModifier>(mod, [](ProjectionModifier* m) { m->DecRef(); });
        out = ScriptFunction([keep](const ScriptArgs& a) {
            a.Expect("addObjectNode", 1);
            keep->AddObjectNode(as_node(a.positional[0]).GetHandle());
            return ScriptValue(true);
        });
        return true;
    }
    return false;
}

bool NodeValue::GetProperty(const std::string& name, ScriptValue& out) {
    SceneNode& node = Node();
    if (name == "name") {
        out = WideToUtf8(node.GetName());
        return true;
    }
    if (name == "handle") {
        out = static_cast<int>(node.GetHandle());
        return true;
    }
    if (name == "material") {
        out = node.GetMtl() != nullptr ? ScriptValue(std::shared_ptr<ScriptObject>(
                                             std::make_shared<MaterialValue>(node.GetMtl())))
                                       : ScriptValue();
        return true;
    }
    if (name == "inodebakeprojproperties") {
        out = std::shared_ptr<ScriptObject>(
            std::make_shared<BakeProjValue>(core_, std::make_shared<NodeValue>(core_, handle_)));
        return true;
    }
    return false;
}

bool NodeValue::SetProperty(const std::string& name, const ScriptValue& value) {
    SceneNode& node = Node();
    if (name == "name") {
        node.SetName(Utf8ToWide(value.AsString()));
        return true;
    }
    if (name == "material") {
        if (value.IsUndefined()) {
            node.SetMtl(nullptr);
            return true;
        }
        auto mtl = std::dynamic_pointer_cast<MaterialValue>(value.AsObject());
        if (!mtl) {
            throw ScriptError("Unable to convert: " + value.TypeName() + " to type: Material");
        }
        node.SetMtl(mtl->mtl());
        return true;
    }
    return false;
}

bool BakeProjValue::GetProperty(const std::string& name, ScriptValue& out) {
    NodeBakeProjProperties& p = node_->Node().BakeProjProperties();
    if (name == "enabled") {
        out = p.GetEnabled() != 0;
    } else if (name == "usecage") {
        out = p.GetUseCage() != 0;
    } else if (name == "warnraymiss") {
        out = p.GetWarnRayMiss() != 0;
    } else if (name == "rayoffset") {
        out = p.GetRayOffset();
    } else if (name == "projspace") {
        out = ScriptName{p.GetProjSpace() == INodeBakeProjProperties::k_ProjSpace_UVW ? "uvw_match"
                                                                                      : "raytrace"};
    } else if (name == "subobjbakechannel") {
        out = p.GetBakeChannel();
    } else if (name == "projectionmod") {
        auto* mod = dynamic_cast<ProjectionModifier*>(p.GetProjMod());
        out = mod != nullptr ? ScriptValue(std::shared_ptr<ScriptObject>(
                                   std::make_shared<ProjectionValue>(core_, mod)))
                             : ScriptValue();
    } else {
        return false;
    }
    return true;
}

bool BakeProjValue::SetProperty(const std::string& name, const ScriptValue& value) {
    NodeBakeProjProperties& p = node_->Node().BakeProjProperties();
    if (name == "enabled") {
        p.SetEnabled(value.AsBool() ? 1 : 0);
    } else if (name == "usecage") {
        p.SetUseCage(value.AsBool() ? 1 : 0);
    } else if (name == "warnraymiss") {
        p.SetWarnRayMiss(value.AsBool() ? 1 : 0);
    } else if (name == "rayoffset") {
        const float f = value.AsFloat();
        if (!std::isfinite(f) || f < 0) {
            throw ScriptError("Runtime error: rayOffset must be 0 or more");
        }
        p.SetRayOffset(f);
    } else if (name == "projspace") {
        const std::string& space = value.AsName().text;
        if (space != "uvw_match" && space != "raytrace") {
            throw ScriptError("Runtime error: projSpace is #raytrace or #uvw_match, not #" + space);
        }
        p.SetProjSpace(space == "uvw_match" ? INodeBakeProjProperties::k_ProjSpace_UVW
                                            : INodeBakeProjProperties::k_ProjSpace_Raytrace);
    } else if (name == "subobjbakechannel") {
        const int ch = value.AsInt();
        if (ch < 0 || ch >= MAX_MESHMAPS) {
            throw ScriptError("Runtime error: subObjBakeChannel must lie in 0.." +
                              std::to_string(MAX_MESHMAPS - 1));
        }
        p.SetBakeChannel(ch);
    } else if (name == "projectionmod") {
        if (value.IsUndefined()) {
            p.SetProjMod(nullptr);
            return true;
        }
        auto prj = std::dynamic_pointer_cast<ProjectionValue>(value.AsObject());
        if (!prj) {
            throw ScriptError("Unable to convert: " + value.TypeName() + " to type: Modifier");
        }
        p.SetProjMod(prj->mod());
    } else {
        return false;
    }
    return true;
}

float keyword_float(const ScriptArgs& a, const char* name, float fallback) {
    const ScriptValue* v = a.Keyword(name);
    return v != nullptr ? v->AsFloat() : fallback;
}

int keyword_int(const ScriptArgs& a, const char* name, int fallback) {
    const ScriptValue* v = a.Keyword(name);
    return v != nullptr ? v->AsInt() : fallback;
}

// A flat grid in the object's xy plane, centred on its origin, with one
// shared texture vertex per corner spanning 0..1 in channel 1: the plane
// `mesh length:width:` builds.
TriObject* plane_object(float length, float width, int lsegs, int wsegs) {
    auto* obj = new TriObject;
    Mesh& m = obj->mesh;
    for (int y = 0; y <= lsegs; ++y) {
        for (int x = 0; x <= wsegs; ++x) {
            const float u = float(x) / float(wsegs), v = float(y) / float(lsegs);
            m.verts.emplace_back((u - 0.5f) * width, (v - 0.5f) * length, 0.0f);
        }
    }
    auto at = [&](int x, int y) { return static_cast<DWORD>(y * (wsegs + 1) + x); };
    for (int y = 0; y < lsegs; ++y) {
        for (int x = 0; x < wsegs; ++x) {
            Face a, b;
            a.setVerts(at(x, y), at(x + 1, y), at(x + 1, y + 1));
            a.setEdgeVisFlags(1, 1, 0);
            b.setVerts(at(x + 1, y + 1), at(x, y + 1), at(x, y));
            b.setEdgeVisFlags(1, 1, 0);
            a.smGroup = b.smGroup = 1;
            m.faces.push_back(a);
            m.faces.push_back(b);
        }
    }
    m.setMapSupport(1);
    for (const Point3& p : m.verts) {
        m.Map(1).tv.emplace_back(p.x / width + 0.5f, p.y / length + 0.5f, 0.0f);
    }
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const Face& face = m.faces[f];
        m.Map(1).tf[f].setTVerts(face.v[0], face.v[1], face.v[2]);
    }
    return obj;
}

ScriptValue make_mesh(StandaloneCore& core, const ScriptArgs& a) {
    a.Expect("mesh", 0);
    const float length = keyword_float(a, "length", 25.0f);
    const float width = keyword_float(a, "width", 25.0f);
    const int lsegs = keyword_int(a, "lengthsegs", 1);
    const int wsegs = keyword_int(a, "widthsegs", 1);
    if (!(length > 0) || !(width > 0) || !std::isfinite(length) || !std::isfinite(width) ||
        lsegs < 1 || wsegs < 1 || lsegs > 1000 || wsegs > 1000) {
        throw ScriptError("Runtime error: mesh needs a positive length and width and 1 to 1000 "
                          "segments");
    }
    static int made = 0;
    wchar_t name[32];
    std::swprintf(name, 32, L"Mesh%03d", ++made);
    SceneNode* node = core.scene().CreateNode(name, plane_object(length, width, lsegs, wsegs));
    return node_value(core, node);
}

ScriptValue make_standard(const ScriptArgs& a) {
    a.Expect("standard", 0);
    auto value = std::make_shared<MaterialValue>(NewDefaultStdMat());
    for (const auto& [key, v] : a.keywords) {
        if (!value->SetProperty(key, v)) {
            throw ScriptError("Runtime error: Standardmaterial has no parameter " + key);
        }
    }
    return std::shared_ptr<ScriptObject>(value);
}

// The mesh object at the bottom of the node's pipeline, which the host's
// mesh tools edit; scripts reach only editable meshes this way.
TriObject& editable_mesh(SceneNode& node) {
    Object* obj = node.GetObjectRef();
    Object* base = obj != nullptr ? obj->FindBaseObject() : nullptr;
    auto* tri = dynamic_cast<TriObject*>(base);
    if (tri == nullptr) {
        throw ScriptError("Runtime error: " + WideToUtf8(node.GetName()) +
                          " is not an editable mesh");
    }
    return *tri;
}

ScriptValue attach(StandaloneCore& core, const ScriptArgs& a) {
    a.Expect("meshop.attach", 2);
    SceneNode& target = as_node(a.positional[0]);
    SceneNode& source = as_node(a.positional[1]);
    if (&target == &source) {
        throw ScriptError("Runtime error: cannot attach a node to itself");
    }
    bool condense = false;
    if (const ScriptValue* mode = a.Keyword("attachmat")) {
        const std::string& m = mode->AsName().text;
        if (m != "idtomat" && m != "mattoid" && m != "neither") {
            throw ScriptError("Runtime error: attachMat is #neither, #IDToMat or #MatToID, not #" +
                              m);
        }
        condense = m == "idtomat";
    }
    if (const ScriptValue* c = a.Keyword("condensemat")) {
        condense = condense && c->AsBool();
    }
    const bool neither =
        a.Keyword("attachmat") != nullptr && a.Keyword("attachmat")->AsName().text == "neither";
    TriObject& tri = editable_mesh(target);
    const TimeValue t = core.GetTime();
    Mesh from;
    if (!EvaluatedMesh(&source, t, from)) {
        throw ScriptError("Runtime error: " + WideToUtf8(source.GetName()) + " is not a mesh");
    }
    const Matrix3 toTarget = source.GetObjectTM(t) * Inverse(target.GetObjectTM(t));
    CombinedMaterial combined;
    if (!neither) {
        combined = CombineMaterials(target.GetMtl(), tri.mesh, source.GetMtl(), from, condense);
    }
    RemapMaterialIds(tri.mesh, combined.targetIds);
    AppendMesh(tri.mesh, from, toTarget, combined.sourceIds);
    if (combined.material != nullptr) {
        target.SetMtl(combined.material);
    }
    const ScriptValue* del = a.Keyword("deletesourcenode");
    if (del == nullptr || del->AsBool()) {
        core.DeleteNode(&source);
    }
    return a.positional[0];
}

ScriptValue add_modifier(const ScriptArgs& a) {
    a.Expect("addModifier", 2);
    SceneNode& node = as_node(a.positional[0]);
    auto prj = std::dynamic_pointer_cast<ProjectionValue>(a.positional[1].AsObject());
    if (!prj) {
        throw ScriptError("Unable to convert: " + a.positional[1].TypeName() +
                          " to type: Modifier");
    }
    Object* obj = node.GetObjectRef();
    if (obj == nullptr) {
        throw ScriptError("Runtime error: " + WideToUtf8(node.GetName()) + " has no object");
    }
    auto* derived =
        obj->SuperClassID() == GEN_DERIVOB_CLASS_ID ? static_cast<IDerivedObject*>(obj) : nullptr;
    if (derived == nullptr) {
        derived = new DerivedObject(obj);
        node.SetObjectRef(derived);
    }
    derived->AddModifier(prj->mod());
    return ScriptValue(true);
}

} // namespace

void InstallSceneFunctions(StandaloneCore& core) {
    ScriptRunner& s = core.scripts();
    s.SetGlobal("mesh",
                ScriptFunction([&core](const ScriptArgs& a) { return make_mesh(core, a); }));
    s.SetGlobal("standard", ScriptFunction(make_standard));
    s.SetGlobal("projection", ScriptFunction([&core](const ScriptArgs& a) {
                    a.Expect("Projection", 0);
                    return ScriptValue(std::shared_ptr<ScriptObject>(
                        std::make_shared<ProjectionValue>(core, new ProjectionModifier)));
                }));
    s.SetGlobal("addmodifier", ScriptFunction(add_modifier));
    s.SetGlobal("maxops",
                std::shared_ptr<ScriptObject>(std::make_shared<FunctionStruct>(
                    "maxOps", std::vector<std::pair<std::string, ScriptFunction>>{
                                  {"getnodebyhandle", [&core](const ScriptArgs& a) {
                                       a.Expect("maxOps.getNodeByHandle", 1);
                                       const int h = a.positional[0].AsInt();
                                       return h <= 0 ? ScriptValue()
                                                     : node_value(core,
                                                                  core.GetINodeByHandle(ULONG(h)));
                                   }}})));
    s.SetGlobal(
        "meshop",
        std::shared_ptr<ScriptObject>(std::make_shared<FunctionStruct>(
            "meshop", std::vector<std::pair<std::string, ScriptFunction>>{
                          {"attach", [&core](const ScriptArgs& a) { return attach(core, a); }}})));
    // The host's own actions; the panel reaches the renderer's settings.
    s.SetGlobal("max", ScriptFunction([&core](const ScriptArgs& a) {
                    std::string action;
                    for (const ScriptValue& word : a.positional) {
                        action += (action.empty() ? "" : " ") + word.AsString();
                    }
                    if (action != "render scene") {
                        throw ScriptError("-- Unknown action: max " + action);
                    }
                    core.ui().ShowHostDialog(L"Render Setup");
                    return ScriptValue(true);
                }));
    s.SetNodeResolver([&core](const std::string& name) {
        return node_value(core, core.GetINodeByName(Utf8ToWide(name).c_str()));
    });
}
