#include "standalone/scene/scene.h"

#include "standalone/scene/node_ops.h"

#include "host/mtl.h"
#include "host/notify.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cwchar>

MaxBakeElement* NodeBakeProperties::GetBakeElement(int i) {
    return i >= 0 && i < GetBakeElementCount() ? elements_[static_cast<std::size_t>(i)] : nullptr;
}

BOOL NodeBakeProperties::AddBakeElement(MaxBakeElement* element) {
    if (element == nullptr) {
        return 0;
    }
    elements_.push_back(element);
    return 1;
}

void NodeBakeProperties::RemoveAllBakeElements() {
    for (MaxBakeElement* e : elements_) {
        e->DeleteThis();
    }
    elements_.clear();
}

void NodeBakeProperties::ResetBakeProps() {
    RemoveAllBakeElements();
    enabled_ = false;
    channel_ = 1;
    dilations_ = 2;
}

void NodeBakeProjProperties::SetProjMod(ReferenceTarget* refTarg) {
    ReplaceReference(mod_, refTarg);
}

BaseInterface* SceneNode::GetInterface(Interface_ID id) {
    if (id == NODE_BAKE_PROPERTIES_INTERFACE) {
        return &bake_;
    }
    return id == NODE_BAKE_PROJ_PROPERTIES_INTERFACE ? &bake_proj_ : nullptr;
}

void SceneNode::Scale(TimeValue t, const Matrix3& tmAxis, const Point3& val, BOOL localOrigin,
                      BOOL affectKids, int, BOOL) {
    Matrix3 axis = tmAxis;
    if (localOrigin != 0) {
        axis.SetTrans(GetObjectTM(t).GetTrans());
    }
    Matrix3 scale;
    scale.SetRow(0, Point3(val.x, 0, 0));
    scale.SetRow(1, Point3(0, val.y, 0));
    scale.SetRow(2, Point3(0, 0, val.z));
    // Into the axis system, scaled there, and back out.
    const Matrix3 change = Inverse(axis) * scale * axis;
    SetObjectTM(GetObjectTM(t) * change);
    if (affectKids != 0) {
        for (SceneNode* child : children_) {
            child->SetObjectTM(child->GetObjectTM(t) * change);
        }
    }
}

SceneNode::~SceneNode() {
    SetObjectRef(nullptr);
    SetMtl(nullptr);
}

void SceneNode::SetMtl(Mtl* mtl) {
    ReplaceReference(mtl_, mtl);
}

void SceneNode::SetObjectRef(Object* obj) {
    if (obj != nullptr) {
        obj->IncRef();
    }
    if (objref_ != nullptr) {
        state_ = ObjectState();
        objref_->DecRef();
    }
    objref_ = obj;
}

Matrix3 SceneNode::GetObjectTM(TimeValue t, Interval* valid) {
    const bool animated = anim_.Animated();
    if (valid != nullptr) {
        *valid = animated ? Interval(t, t) : FOREVER;
    }
    return animated ? anim_.Evaluate(t) : tm_;
}

const ObjectState& SceneNode::EvalWorldState(TimeValue t, BOOL) {
    state_ = objref_ != nullptr ? objref_->Eval(t) : ObjectState();
    return state_;
}

bool SceneNode::GetUserPropFloat(const MCHAR* key, float& value) {
    const auto it = props_.find(key);
    if (it == props_.end()) {
        return false;
    }
    const wchar_t* text = it->second.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const double parsed = std::wcstod(text, &end);
    while (end != nullptr && (*end == L' ' || *end == L'\t')) {
        ++end;
    }
    if (end == text || end == nullptr || *end != L'\0' || errno == ERANGE ||
        !std::isfinite(parsed)) {
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

INode* SceneNode::GetChildNode(int i) {
    return i >= 0 && i < NumberOfChildren() ? children_[static_cast<std::size_t>(i)] : nullptr;
}

std::unique_ptr<SceneNode> SceneNode::MakeRoot() {
    auto root = std::make_unique<SceneNode>(0, L"Scene Root");
    root->root_ = true;
    return root;
}

bool SceneLayer::AddToLayer(INode* node) {
    if (node == nullptr || !scene_.Owns(node)) {
        return false;
    }
    static_cast<SceneNode*>(node)->SetLayerName(name_);
    return true;
}

Scene::Scene() : root_(SceneNode::MakeRoot()) {
    layers_.push_back(std::make_unique<SceneLayer>(*this, L"0"));
}

ILayer* Scene::GetLayer(const std::wstring& name) const {
    for (const auto& layer : layers_) {
        if (name == layer->GetName()) {
            return layer.get();
        }
    }
    return nullptr;
}

ILayer* Scene::CreateLayer(const std::wstring& name) {
    if (name.empty() || GetLayer(name) != nullptr) {
        return nullptr;
    }
    layers_.push_back(std::make_unique<SceneLayer>(*this, name));
    return layers_.back().get();
}

bool Scene::DeleteLayer(const std::wstring& name) {
    if (name == L"0" || GetLayer(name) == nullptr) {
        return false;
    }
    // Nodes never lose their layer: what was left on it goes back to "0".
    for (SceneNode* node : LayerNodes(name)) {
        node->SetLayerName(L"0");
    }
    std::erase_if(layers_, [&](const auto& layer) { return name == layer->GetName(); });
    return true;
}

std::vector<SceneNode*> Scene::LayerNodes(const std::wstring& name) const {
    std::vector<SceneNode*> out;
    for (const auto& n : nodes_) {
        if (n->LayerName() == name) {
            out.push_back(n.get());
        }
    }
    return out;
}

bool Scene::Owns(INode* node) const {
    return std::any_of(nodes_.begin(), nodes_.end(),
                       [&](const auto& n) { return n.get() == node; });
}

Scene::~Scene() {
    // Nodes go before the root that lists them; objects go with their nodes.
    sets_.clear();
    nodes_.clear();
}

SceneNode* Scene::CreateNode(const std::wstring& name, Object* obj, ULONG handle) {
    if (handle == 0 || NodeByHandle(handle) != nullptr) {
        handle = next_handle_;
    }
    next_handle_ = std::max(next_handle_, handle + 1);
    nodes_.push_back(std::make_unique<SceneNode>(handle, name));
    nodes_.back()->SetObjectRef(obj);
    root_->AttachChild(nodes_.back().get());
    return nodes_.back().get();
}

void Scene::DeleteNode(SceneNode* node) {
    const auto it =
        std::find_if(nodes_.begin(), nodes_.end(), [&](const auto& n) { return n.get() == node; });
    if (it == nodes_.end()) {
        return;
    }
    CloseModifyPanel();
    BroadcastNotification(NOTIFY_SCENE_PRE_DELETED_NODE, node);
    for (auto& set : sets_) {
        std::erase(set.second, static_cast<INode*>(node));
    }
    root_->DetachChild(node);
    // The node lives until the notification is over, as it would on the
    // host's undo stack, so that its modifiers still hear of the deletion.
    std::unique_ptr<SceneNode> doomed = std::move(*it);
    nodes_.erase(it);
    BroadcastNotification(NOTIFY_SCENE_POST_DELETED_NODE, nullptr);
}

SceneNode* Scene::NodeByHandle(ULONG handle) {
    for (auto& n : nodes_) {
        if (n->GetHandle() == handle) {
            return n.get();
        }
    }
    return nullptr;
}

SceneNode* Scene::NodeByName(const std::wstring& name) {
    for (auto& n : nodes_) {
        if (name == n->GetName()) {
            return n.get();
        }
    }
    return nullptr;
}

void Scene::AddNamedSelSet(const std::wstring& name, std::vector<INode*> nodes) {
    std::erase_if(sets_, [&](const auto& s) { return s.first == name; });
    sets_.emplace_back(name, std::move(nodes));
    NamedSetsChanged();
}

void Scene::RemoveNamedSelSet(const std::wstring& name) {
    std::erase_if(sets_, [&](const auto& s) { return s.first == name; });
    NamedSetsChanged();
}

BOOL Scene::AddNewNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) {
    if (name == nullptr ||
        std::any_of(sets_.begin(), sets_.end(), [&](const auto& s) { return s.first == name; })) {
        return 0;
    }
    sets_.emplace_back(name, nodes);
    NamedSetsChanged();
    return 1;
}

BOOL Scene::ReplaceNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) {
    for (auto& s : sets_) {
        if (name != nullptr && s.first == name) {
            s.second = nodes;
            NamedSetsChanged();
            return 1;
        }
    }
    return 0;
}

const MCHAR* Scene::GetNamedSelSetName(int setNum) {
    return setNum >= 0 && setNum < GetNumNamedSelSets()
               ? sets_[static_cast<std::size_t>(setNum)].first.c_str()
               : nullptr;
}

int Scene::GetNamedSelSetItemCount(int setNum) {
    return setNum >= 0 && setNum < GetNumNamedSelSets()
               ? static_cast<int>(sets_[static_cast<std::size_t>(setNum)].second.size())
               : 0;
}

INode* Scene::GetNamedSelSetItem(int setNum, int i) {
    if (i < 0 || i >= GetNamedSelSetItemCount(setNum)) {
        return nullptr;
    }
    return sets_[static_cast<std::size_t>(setNum)].second[static_cast<std::size_t>(i)];
}

void Scene::SetFileProperty(const std::string& name, const std::string& value) {
    for (auto& [key, v] : file_properties_) {
        if (key == name) {
            v = value;
            return;
        }
    }
    file_properties_.emplace_back(name, value);
}

void Scene::DeleteFileProperty(const std::string& name) {
    std::erase_if(file_properties_, [&](const auto& p) { return p.first == name; });
}

const std::string* Scene::FileProperty(const std::string& name) const {
    for (const auto& [key, v] : file_properties_) {
        if (key == name) {
            return &v;
        }
    }
    return nullptr;
}
