// The standalone host's scene: nodes with handles, names, transforms (fixed
// or animated), user properties, materials and object references, plus
// named selection sets.
#pragma once

#include "host/bake_properties.h"
#include "host/interface.h"
#include "standalone/scene/node_animation.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// The render-to-texture settings a node keeps; it owns its bake elements.
class NodeBakeProperties : public INodeBakeProperties {
  public:
    NodeBakeProperties() = default;
    NodeBakeProperties(const NodeBakeProperties&) = delete;
    NodeBakeProperties& operator=(const NodeBakeProperties&) = delete;
    ~NodeBakeProperties() override { RemoveAllBakeElements(); }
    BOOL GetBakeEnabled() override { return enabled_ ? 1 : 0; }
    void SetBakeEnabled(BOOL on) override { enabled_ = on != 0; }
    int GetBakeMapChannel() override { return channel_; }
    void SetBakeMapChannel(int channel) override { channel_ = channel; }
    int GetNDilations() override { return dilations_; }
    void SetNDilations(int n) override { dilations_ = n; }
    int GetBakeElementCount() override { return static_cast<int>(elements_.size()); }
    MaxBakeElement* GetBakeElement(int i) override;
    BOOL AddBakeElement(MaxBakeElement* element) override;
    void RemoveAllBakeElements() override;
    void ResetBakeProps() override;

  private:
    std::vector<MaxBakeElement*> elements_;
    bool enabled_ = false;
    int channel_ = 1;
    int dilations_ = 2;
};

// How a node's bake shows other objects' surfaces; the projection modifier
// is referenced while it is set.
class NodeBakeProjProperties : public INodeBakeProjProperties {
  public:
    NodeBakeProjProperties() = default;
    NodeBakeProjProperties(const NodeBakeProjProperties&) = delete;
    NodeBakeProjProperties& operator=(const NodeBakeProjProperties&) = delete;
    ~NodeBakeProjProperties() override { SetProjMod(nullptr); }
    BOOL GetEnabled() override { return enabled_ ? 1 : 0; }
    void SetEnabled(BOOL b) override { enabled_ = b != 0; }
    ReferenceTarget* GetProjMod() override { return mod_; }
    void SetProjMod(ReferenceTarget* refTarg) override;
    BOOL GetUseCage() override { return use_cage_ ? 1 : 0; }
    void SetUseCage(BOOL b) override { use_cage_ = b != 0; }
    BOOL GetWarnRayMiss() override { return warn_ray_miss_ ? 1 : 0; }
    void SetWarnRayMiss(BOOL b) override { warn_ray_miss_ = b != 0; }
    float GetRayOffset() override { return ray_offset_; }
    void SetRayOffset(float f) override { ray_offset_ = f; }
    int GetProjSpace() override { return proj_space_; }
    void SetProjSpace(int projSpace) override { proj_space_ = projSpace; }
    int GetBakeChannel() override { return channel_; }
    void SetBakeChannel(int channel) override { channel_ = channel; }

  private:
    bool enabled_ = false;
    ReferenceTarget* mod_ = nullptr;
    bool use_cage_ = true;
    bool warn_ray_miss_ = false;
    float ray_offset_ = 1.0f;
    int proj_space_ = k_ProjSpace_Raytrace;
    int channel_ = 1;
};

class SceneNode : public INode {
  public:
    SceneNode(ULONG handle, std::wstring name) : handle_(handle), name_(std::move(name)) {}
    ~SceneNode() override;

    const MCHAR* GetName() override { return name_.c_str(); }
    void SetName(std::wstring name) { name_ = std::move(name); }
    ULONG GetHandle() override { return handle_; }
    Object* GetObjectRef() override { return objref_; }
    void SetObjectRef(Object* obj) override;
    // Follows the node's animation when it has one.
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) override;
    // Places the node for good: it stops following any animation.
    void SetObjectTM(const Matrix3& tm) {
        tm_ = tm;
        anim_ = NodeAnimation();
    }
    // An animation with no keys leaves the node where it is.
    void SetAnimation(NodeAnimation anim) { anim_ = std::move(anim); }
    const NodeAnimation& Animation() const { return anim_; }
    const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = 1) override;
    bool GetUserPropFloat(const MCHAR* key, float& value) override;
    void SetUserProp(const std::wstring& key, const std::wstring& value) { props_[key] = value; }
    int IsHidden() override { return hidden_; }
    void Hide(bool hide) { hidden_ = hide; }
    int NumberOfChildren() override { return static_cast<int>(children_.size()); }
    INode* GetChildNode(int i) override;
    bool IsRootNode() override { return root_; }
    BaseInterface* GetInterface(Interface_ID id) override;
    Mtl* GetMtl() override { return mtl_; }
    void SetMtl(Mtl* mtl) override;
    NodeBakeProperties& BakeProperties() { return bake_; }
    NodeBakeProjProperties& BakeProjProperties() { return bake_proj_; }
    void Scale(TimeValue t, const Matrix3& tmAxis, const Point3& val, BOOL localOrigin = 0,
               BOOL affectKids = 1, int pivMode = PIV_NONE, BOOL ignoreLocks = 0) override;
    BOOL GetPrimaryVisibility() override { return primary_ ? 1 : 0; }
    void SetPrimaryVisibility(BOOL onOff) override { primary_ = onOff != 0; }
    BOOL GetSecondaryVisibility() override { return secondary_ ? 1 : 0; }
    void SetSecondaryVisibility(BOOL onOff) override { secondary_ = onOff != 0; }
    BOOL CastShadows() override { return cast_shadows_ ? 1 : 0; }
    void SetCastShadows(BOOL onOff) override { cast_shadows_ = onOff != 0; }
    BOOL RcvShadows() override { return rcv_shadows_ ? 1 : 0; }
    void SetRcvShadows(BOOL onOff) override { rcv_shadows_ = onOff != 0; }
    float GetVisibility(TimeValue, Interval* valid = nullptr) override {
        if (valid != nullptr) {
            *valid = FOREVER;
        }
        return visibility_;
    }
    void SetVisibility(TimeValue, float vis) override { visibility_ = vis; }
    // The layer the node is on.
    const std::wstring& LayerName() const { return layer_; }
    void SetLayerName(std::wstring layer) { layer_ = std::move(layer); }
    const std::map<std::wstring, std::wstring>& UserProps() const { return props_; }

    // The scene's root: no object, every node its child.
    static std::unique_ptr<SceneNode> MakeRoot();
    void AttachChild(SceneNode* child) { children_.push_back(child); }
    void DetachChild(SceneNode* child) { std::erase(children_, child); }

  private:
    ULONG handle_;
    std::wstring name_;
    Object* objref_ = nullptr;
    Mtl* mtl_ = nullptr; // referenced: nodes share materials
    Matrix3 tm_;
    NodeAnimation anim_;
    std::map<std::wstring, std::wstring> props_;
    ObjectState state_;
    bool hidden_ = false;
    bool root_ = false;
    std::vector<SceneNode*> children_;
    NodeBakeProperties bake_;
    NodeBakeProjProperties bake_proj_;
    bool primary_ = true, secondary_ = true, cast_shadows_ = true, rcv_shadows_ = true;
    float visibility_ = 1.0f;
    std::wstring layer_ = L"0";
};

class Scene;

class SceneLayer : public ILayer {
  public:
    SceneLayer(Scene& scene, std::wstring name) : scene_(scene), name_(std::move(name)) {}
    const MCHAR* GetName() const override { return name_.c_str(); }
    bool AddToLayer(INode* node) override;

  private:
    Scene& scene_;
    std::wstring name_;
};

class Scene : public INamedSelectionSetManager, public ILayerManager {
  public:
    Scene();
    ~Scene() override;

    // The scene file's custom properties, in the order they were added.
    const std::vector<std::pair<std::string, std::string>>& FileProperties() const {
        return file_properties_;
    }
    void SetFileProperty(const std::string& name, const std::string& value);
    void DeleteFileProperty(const std::string& name);
    // The value, or nullptr when the scene has no such property.
    const std::string* FileProperty(const std::string& name) const;
    // A new node with the next free handle (or `handle` when it is free);
    // the scene owns it.
    SceneNode* CreateNode(const std::wstring& name, Object* obj, ULONG handle = 0);
    SceneNode* Root() { return root_.get(); }
    // Removes the node from the scene, its selection sets and the hierarchy,
    // with the node-deleted notifications around it.
    void DeleteNode(SceneNode* node);
    SceneNode* NodeByHandle(ULONG handle);
    SceneNode* NodeByName(const std::wstring& name);
    const std::vector<std::unique_ptr<SceneNode>>& Nodes() const { return nodes_; }

    // Replaces a set of the same name.
    void AddNamedSelSet(const std::wstring& name, std::vector<INode*> nodes);
    void RemoveNamedSelSet(const std::wstring& name);
    int GetNumNamedSelSets() override { return static_cast<int>(sets_.size()); }
    const MCHAR* GetNamedSelSetName(int setNum) override;
    int GetNamedSelSetItemCount(int setNum) override;
    INode* GetNamedSelSetItem(int setNum, int i) override;
    BOOL AddNewNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) override;
    BOOL ReplaceNamedSelSet(const std::vector<INode*>& nodes, const MCHAR* name) override;

    // Layers; "0" is always there and new nodes go onto it.
    int GetLayerCount() override { return static_cast<int>(layers_.size()); }
    ILayer* GetLayer(const std::wstring& name) const override;
    ILayer* CreateLayer(const std::wstring& name) override;
    bool DeleteLayer(const std::wstring& name) override;
    // The nodes on the layer, in scene order.
    std::vector<SceneNode*> LayerNodes(const std::wstring& name) const;
    bool Owns(INode* node) const;

  private:
    std::unique_ptr<SceneNode> root_;
    std::vector<std::unique_ptr<SceneLayer>> layers_;
    std::vector<std::unique_ptr<SceneNode>> nodes_;
    std::vector<std::pair<std::wstring, std::vector<INode*>>> sets_;
    ULONG next_handle_ = 1;
    std::vector<std::pair<std::string, std::string>> file_properties_;
};
