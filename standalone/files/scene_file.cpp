#include "standalone/files/scene_file.h"

#include "host/chunk_io.h"
#include "host/text.h"
#include "standalone/files/chunk_stream.h"
#include "standalone/files/output_file.h"
#include "standalone/files/scene_file_bake.h"
#include "standalone/files/scene_file_materials.h"
#include "standalone/scene/derived_object.h"
#include "standalone/scene/non_mesh_objects.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace {

constexpr USHORT kScene = 0x5600, kHeader = 0x5601, kNode = 0x5610, kNodeInfo = 0x5611,
                 kNodeProps = 0x5612, kNodeAnimation = 0x5614, kObject = 0x5620, kClass = 0x5621,
                 kTriMesh = 0x5622, kPolyMesh = 0x5623, kCamera = 0x5624, kModifier = 0x5625,
                 kModifierData = 0x5626, kNamedSet = 0x5630, kSelection = 0x5640,
                 kFileProperties = 0x5670, kTime = 0x5671;
constexpr char kMagic[8] = {'V', 'L', 'M', 'S', 'C', 'E', 'N', 'E'};
constexpr std::uint32_t kVersion = 1;

// ---- writing --------------------------------------------------------------

bool write_text(ISave* s, const std::string& text) {
    return write_u64(s, text.size()) && write_bytes(s, text.data(), text.size());
}

bool write_point(ISave* s, const Point3& p) {
    return write_f32(s, p.x) && write_f32(s, p.y) && write_f32(s, p.z);
}

// A u32 count, then the points.
template <class Items, class Get> bool write_points(ISave* s, const Items& items, Get get) {
    bool ok = write_u32(s, static_cast<std::uint32_t>(items.size()));
    for (const auto& item : items) {
        ok = ok && write_point(s, get(item));
    }
    return ok;
}

// The channels below `count` that `supported` accepts, in order.
template <class Supported> std::vector<int> channels_where(int count, Supported supported) {
    std::vector<int> channels;
    for (int ch = 0; ch < count; ++ch) {
        if (supported(ch)) {
            channels.push_back(ch);
        }
    }
    return channels;
}

bool write_class(ISave* s, Animatable* a) {
    s->BeginChunk(kClass);
    const bool ok = write_u32(s, a->SuperClassID()) && write_u32(s, a->ClassID().PartA()) &&
                    write_u32(s, a->ClassID().PartB());
    s->EndChunk();
    return ok;
}

bool write_tri_mesh(ISave* s, const Mesh& m) {
    bool ok = write_points(s, m.verts, [](const Point3& p) { return p; });
    ok = ok && write_u32(s, static_cast<std::uint32_t>(m.faces.size()));
    for (const Face& f : m.faces) {
        ok = ok && write_u32(s, f.v[0]) && write_u32(s, f.v[1]) && write_u32(s, f.v[2]) &&
             write_u32(s, f.smGroup) && write_u32(s, f.flags);
    }
    const std::vector<int> channels =
        channels_where(m.getNumMaps(), [&](int ch) { return m.mapSupport(ch) != 0; });
    ok = ok && write_u32(s, static_cast<std::uint32_t>(channels.size()));
    for (int ch : channels) {
        const MeshMap& map = m.Map(ch);
        ok = ok && write_i32(s, ch) && write_points(s, map.tv, [](const UVVert& t) { return t; });
        for (const TVFace& tf : map.tf) {
            ok = ok && write_u32(s, tf.t[0]) && write_u32(s, tf.t[1]) && write_u32(s, tf.t[2]);
        }
    }
    return ok;
}

bool write_poly_mesh(ISave* s, const MNMesh& m) {
    bool ok = write_points(s, m.v, [](const MNVert& v) { return v.p; });
    ok = ok && write_u32(s, static_cast<std::uint32_t>(m.f.size()));
    for (const MNFace& f : m.f) {
        ok = ok && write_u32(s, static_cast<std::uint32_t>(f.vtx.size()));
        for (std::size_t k = 0; k < f.vtx.size(); ++k) {
            const std::uint8_t visible = k < f.visedg.size() && !f.visedg[k] ? 0 : 1;
            ok = ok && write_i32(s, f.vtx[k]) && write_bytes(s, &visible, 1);
        }
    }
    const std::vector<int> channels =
        channels_where(m.MNum(), [&](int ch) { return m.MapSupported(ch); });
    ok = ok && write_u32(s, static_cast<std::uint32_t>(channels.size()));
    for (int ch : channels) {
        const MNMap& map = *m.M(ch);
        ok = ok && write_i32(s, ch) && write_points(s, map.v, [](const UVVert& t) { return t; });
        for (const MNMapFace& mf : map.f) {
            for (int t : mf.tv) {
                ok = ok && write_i32(s, t);
            }
        }
    }
    // Last, so that files from before polygons had smoothing groups still
    // read: their chunk ends here.
    for (const MNFace& f : m.f) {
        ok = ok && write_u32(s, f.smGroup);
    }
    return ok;
}

bool write_object(ISave* s, Object* obj) {
    s->BeginChunk(kObject);
    bool ok = write_class(s, obj);
    if (obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        ok = ok && derived->GetObjRef() != nullptr && write_object(s, derived->GetObjRef());
        for (int i = 0; ok && i < derived->NumModifiers(); ++i) {
            Modifier* mod = derived->GetModifier(i);
            s->BeginChunk(kModifier);
            ok = write_class(s, mod);
            s->BeginChunk(kModifierData);
            ok = ok && mod->Save(s) == IO_OK;
            s->EndChunk();
            s->EndChunk();
        }
    } else if (obj->ClassID() == triObjectClassID) {
        s->BeginChunk(kTriMesh);
        ok = ok && write_tri_mesh(s, static_cast<TriObject*>(obj)->mesh);
        s->EndChunk();
    } else if (obj->ClassID() == polyObjectClassID) {
        s->BeginChunk(kPolyMesh);
        ok = ok && write_poly_mesh(s, static_cast<PolyObject*>(obj)->mm);
        s->EndChunk();
    } else if (auto* cam = dynamic_cast<CameraObject*>(obj)) {
        s->BeginChunk(kCamera);
        const std::uint8_t ortho = cam->orthographic ? 1 : 0;
        ok = ok && write_f32(s, cam->fov) && write_bytes(s, &ortho, 1);
        s->EndChunk();
    }
    s->EndChunk();
    return ok;
}

bool write_node(ISave* s, SceneNode* node, const MaterialWriter& materials) {
    s->BeginChunk(kNode);
    s->BeginChunk(kNodeInfo);
    const Matrix3 tm = node->GetObjectTM(0);
    const std::uint8_t hidden = node->IsHidden() ? 1 : 0;
    bool ok = write_u32(s, node->GetHandle()) && write_text(s, WideToUtf8(node->GetName()));
    for (int r = 0; r < 4; ++r) {
        ok = ok && write_point(s, tm.GetRow(r));
    }
    ok = ok && write_bytes(s, &hidden, 1);
    s->EndChunk();
    s->BeginChunk(kNodeProps);
    ok = ok && write_u32(s, static_cast<std::uint32_t>(node->UserProps().size()));
    for (const auto& [key, value] : node->UserProps()) {
        ok = ok && write_text(s, WideToUtf8(key)) && write_text(s, WideToUtf8(value));
    }
    s->EndChunk();
    if (node->Animation().Animated()) {
        s->BeginChunk(kNodeAnimation);
        ok = ok && node->Animation().Save(s);
        s->EndChunk();
    }
    if (node->GetMtl() != nullptr) {
        s->BeginChunk(kNodeMaterialChunk);
        ok = ok && write_u32(s, materials.Number(node->GetMtl()));
        s->EndChunk();
    }
    if (node->GetObjectRef() != nullptr) {
        ok = ok && write_object(s, node->GetObjectRef());
    }
    // After the object: the projection settings name one of its modifiers.
    ok = ok && WriteNodeBake(s, node);
    s->EndChunk();
    return ok;
}

bool write_handles(ISave* s, const std::vector<INode*>& nodes) {
    bool ok = write_u32(s, static_cast<std::uint32_t>(nodes.size()));
    for (INode* n : nodes) {
        ok = ok && write_u32(s, n->GetHandle());
    }
    return ok;
}

// ---- reading --------------------------------------------------------------

// A face naming a vertex the file does not have cannot be drawn, unwrapped
// or exported (an exporter would read past the vertex list): such faces are
// dropped, with their map faces. Returns how many were dropped.
std::size_t drop_faces_naming_missing_vertices(Mesh& m) {
    const auto nv = static_cast<DWORD>(m.verts.size());
    std::vector<std::size_t> kept;
    for (std::size_t f = 0; f < m.faces.size(); ++f) {
        const Face& face = m.faces[f];
        if (face.v[0] < nv && face.v[1] < nv && face.v[2] < nv) {
            kept.push_back(f);
        }
    }
    const std::size_t dropped = m.faces.size() - kept.size();
    if (dropped == 0) {
        return 0;
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        m.faces[i] = m.faces[kept[i]];
        for (int ch = 0; ch < m.getNumMaps(); ++ch) {
            if (m.Map(ch).used) {
                m.Map(ch).tf[i] = m.Map(ch).tf[kept[i]];
            }
        }
    }
    m.setNumFaces(static_cast<int>(kept.size()));
    return dropped;
}

std::size_t drop_faces_naming_missing_vertices(MNMesh& m) {
    const int nv = m.VNum();
    std::vector<std::size_t> kept;
    for (std::size_t f = 0; f < m.f.size(); ++f) {
        const auto& vtx = m.f[f].vtx;
        if (std::none_of(vtx.begin(), vtx.end(), [nv](int v) { return v < 0 || v >= nv; })) {
            kept.push_back(f);
        }
    }
    const std::size_t dropped = m.f.size() - kept.size();
    if (dropped == 0) {
        return 0;
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        m.f[i] = m.f[kept[i]];
        for (int ch = 0; ch < m.MNum(); ++ch) {
            MNMap& map = *m.M(ch);
            if (kept[i] < map.f.size()) {
                map.f[i] = map.f[kept[i]];
            }
        }
    }
    m.f.resize(kept.size());
    for (int ch = 0; ch < m.MNum(); ++ch) {
        if (m.M(ch)->f.size() > kept.size()) {
            m.M(ch)->f.resize(kept.size());
        }
    }
    return dropped;
}

// The channels whose map faces name map vertices they do not have: their
// UVs are meaningless, so the channel is dropped as a whole.
std::vector<int> drop_broken_channels(Mesh& m) {
    std::vector<int> dropped;
    for (int ch = 0; ch < m.getNumMaps(); ++ch) {
        if (!m.Map(ch).used) {
            continue;
        }
        const auto nt = static_cast<DWORD>(m.Map(ch).tv.size());
        const auto& tf = m.Map(ch).tf;
        if (std::any_of(tf.begin(), tf.end(), [nt](const TVFace& f) {
                return f.t[0] >= nt || f.t[1] >= nt || f.t[2] >= nt;
            })) {
            m.Map(ch) = MeshMap{};
            dropped.push_back(ch);
        }
    }
    return dropped;
}

std::vector<int> drop_broken_channels(MNMesh& m) {
    std::vector<int> dropped;
    for (int ch = 0; ch < m.MNum(); ++ch) {
        MNMap& map = *m.M(ch);
        if ((!map.f.empty() || !map.v.empty()) && !m.MapSupported(ch)) {
            map = MNMap{};
            dropped.push_back(ch);
        }
    }
    return dropped;
}

struct Reader {
    StandaloneCore& core;
    ChunkReader& in;
    SceneFileResult& result;
    MaterialReader& materials;
    std::map<ULONG, SceneNode*> by_handle;
    std::string node_name; // of the node being read, for warnings
    int depth = 0;
    static constexpr int kMaxNesting = 64;

    bool text(std::string& out) {
        std::uint64_t length = 0;
        return read_u64(&in, length) && read_string(&in, length, out);
    }
    bool point(Point3& p) { return read_f32(&in, p.x) && read_f32(&in, p.y) && read_f32(&in, p.z); }
    // A u32 count, then that many points; never more than the chunk holds.
    template <class T, class Get> bool points(std::vector<T>& out, Get get) {
        std::uint32_t count = 0;
        if (!read_u32(&in, count) || !fits(&in, count, 12)) {
            return false;
        }
        out.resize(count);
        for (T& item : out) {
            if (!point(get(item))) {
                return false;
            }
        }
        return true;
    }
    // Tells what a mesh check dropped from the node being read.
    void warn_dropped(std::size_t faces, const std::vector<int>& channels) {
        if (faces > 0) {
            result.warnings.push_back("object '" + node_name + "': " + std::to_string(faces) +
                                      (faces == 1 ? " face names" : " faces name") +
                                      " vertices the object does not have; dropped");
        }
        for (int ch : channels) {
            result.warnings.push_back("object '" + node_name + "': map channel " +
                                      std::to_string(ch) +
                                      " names map vertices it does not have; dropped");
        }
    }
    // A map channel number, checked against the host's channels.
    bool channel(std::int32_t& ch) { return read_i32(&in, ch) && ch >= 0 && ch < MAX_MESHMAPS; }

    bool class_of(SClass_ID& sid, Class_ID& cid) {
        std::uint32_t s = 0, a = 0, b = 0;
        if (in.OpenChunk() != IO_OK || in.CurChunkID() != kClass) {
            return false;
        }
        const bool ok = read_u32(&in, s) && read_u32(&in, a) && read_u32(&in, b);
        in.CloseChunk();
        sid = s;
        cid = Class_ID(a, b);
        return ok;
    }

    bool tri_mesh(Mesh& m) {
        std::uint32_t nf = 0, nmaps = 0;
        if (!points(m.verts, [](Point3& p) -> Point3& { return p; })) {
            return false;
        }
        if (!read_u32(&in, nf) || !fits(&in, nf, 20)) {
            return false;
        }
        m.setNumFaces(static_cast<int>(nf));
        for (Face& f : m.faces) {
            if (!read_u32(&in, f.v[0]) || !read_u32(&in, f.v[1]) || !read_u32(&in, f.v[2]) ||
                !read_u32(&in, f.smGroup) || !read_u32(&in, f.flags)) {
                return false;
            }
        }
        if (!read_u32(&in, nmaps)) {
            return false;
        }
        for (std::uint32_t i = 0; i < nmaps; ++i) {
            std::int32_t ch = 0;
            if (!channel(ch)) {
                return false;
            }
            m.setMapSupport(ch);
            MeshMap& map = m.Map(ch);
            if (!points(map.tv, [](UVVert& t) -> Point3& { return t; })) {
                return false;
            }
            if (!fits(&in, nf, 12)) {
                return false;
            }
            for (TVFace& tf : map.tf) {
                if (!read_u32(&in, tf.t[0]) || !read_u32(&in, tf.t[1]) || !read_u32(&in, tf.t[2])) {
                    return false;
                }
            }
        }
        const std::size_t faces = drop_faces_naming_missing_vertices(m);
        warn_dropped(faces, drop_broken_channels(m));
        return true;
    }

    bool poly_mesh(MNMesh& m) {
        std::uint32_t nf = 0, nmaps = 0;
        if (!points(m.v, [](MNVert& v) -> Point3& { return v.p; })) {
            return false;
        }
        if (!read_u32(&in, nf) || !fits(&in, nf, 4)) {
            return false;
        }
        m.f.resize(nf);
        for (MNFace& f : m.f) {
            std::uint32_t deg = 0;
            if (!read_u32(&in, deg) || !fits(&in, deg, 5)) {
                return false;
            }
            f.vtx.resize(deg);
            f.visedg.resize(deg);
            for (std::uint32_t k = 0; k < deg; ++k) {
                std::uint8_t visible = 1;
                if (!read_i32(&in, f.vtx[k]) || !read_bytes(&in, &visible, 1)) {
                    return false;
                }
                f.visedg[k] = visible != 0;
            }
        }
        if (!read_u32(&in, nmaps)) {
            return false;
        }
        for (std::uint32_t i = 0; i < nmaps; ++i) {
            std::int32_t ch = 0;
            if (!channel(ch)) {
                return false;
            }
            if (m.MNum() <= ch) {
                m.SetMapNum(ch + 1);
            }
            MNMap& map = *m.M(ch);
            if (!points(map.v, [](UVVert& t) -> Point3& { return t; })) {
                return false;
            }
            map.f.resize(nf);
            for (std::size_t f = 0; f < nf; ++f) {
                map.f[f].tv.resize(m.f[f].vtx.size());
                for (int& t : map.f[f].tv) {
                    if (!read_i32(&in, t)) {
                        return false;
                    }
                }
            }
        }
        if (in.BytesLeft() > 0) {
            for (MNFace& f : m.f) {
                if (!read_u32(&in, f.smGroup)) {
                    return false;
                }
            }
        }
        const std::size_t faces = drop_faces_naming_missing_vertices(m);
        warn_dropped(faces, drop_broken_channels(m));
        m.FillInMesh();
        return true;
    }

    // Inside an open object chunk: the object, or nullptr when it is damaged
    // or of a class this host cannot make.
    Object* object() {
        // Derived objects nest; a file cannot make the reader recurse
        // without bound.
        struct Depth {
            int& d;
            explicit Depth(int& x) : d(++x) {}
            ~Depth() { --d; }
        } guard(depth);
        SClass_ID sid = 0;
        Class_ID cid;
        if (depth > kMaxNesting || !class_of(sid, cid)) {
            return nullptr;
        }
        if (sid == GEN_DERIVOB_CLASS_ID) {
            return derived_object();
        }
        Object* obj = nullptr;
        if (cid == triObjectClassID) {
            obj = new TriObject;
        } else if (cid == polyObjectClassID) {
            obj = new PolyObject;
        } else if (sid == CAMERA_CLASS_ID) {
            obj = new CameraObject;
        } else if (sid == LIGHT_CLASS_ID) {
            return new LightObject;
        } else if (sid == HELPER_CLASS_ID) {
            return new HelperObject;
        } else {
            result.warnings.push_back("an object of an unknown class was skipped");
            return nullptr;
        }
        const bool opened = in.OpenChunk() == IO_OK;
        bool ok = opened;
        if (ok && in.CurChunkID() == kTriMesh && cid == triObjectClassID) {
            ok = tri_mesh(static_cast<TriObject*>(obj)->mesh);
        } else if (ok && in.CurChunkID() == kPolyMesh && cid == polyObjectClassID) {
            ok = poly_mesh(static_cast<PolyObject*>(obj)->mm);
        } else if (auto* cam = dynamic_cast<CameraObject*>(obj);
                   ok && cam != nullptr && in.CurChunkID() == kCamera) {
            std::uint8_t ortho = 0;
            ok = read_f32(&in, cam->fov) && read_bytes(&in, &ortho, 1);
            cam->orthographic = ortho != 0;
        } else {
            ok = false;
        }
        if (opened) {
            in.CloseChunk();
        }
        if (ok) {
            return obj;
        }
        obj->DeleteThis();
        return nullptr;
    }

    Object* derived_object() {
        if (in.OpenChunk() != IO_OK || in.CurChunkID() != kObject) {
            return nullptr;
        }
        Object* below = object();
        in.CloseChunk();
        if (below == nullptr) {
            return nullptr;
        }
        auto* derived = new DerivedObject(below);
        std::vector<Modifier*> stack; // top first, as saved
        while (in.OpenChunk() == IO_OK) {
            if (in.CurChunkID() == kModifier) {
                if (Modifier* mod = modifier()) {
                    stack.push_back(mod);
                }
            }
            in.CloseChunk();
        }
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
            derived->AddModifier(*it, nullptr, 0);
        }
        return derived;
    }

    Modifier* modifier() {
        SClass_ID sid = 0;
        Class_ID cid;
        if (!class_of(sid, cid)) {
            return nullptr;
        }
        auto* mod = static_cast<Modifier*>(core.CreateInstance(sid, cid));
        if (mod == nullptr) {
            result.warnings.push_back("a modifier of an unknown class was skipped");
            return nullptr;
        }
        if (in.OpenChunk() == IO_OK && in.CurChunkID() == kModifierData) {
            mod->Load(&in);
            in.CloseChunk();
        }
        return mod;
    }

    void node() {
        SceneNode* node = nullptr;
        while (in.OpenChunk() == IO_OK) {
            const USHORT id = in.CurChunkID();
            if (id == kNodeInfo) {
                std::uint32_t handle = 0;
                std::string name;
                Matrix3 tm;
                std::uint8_t hidden = 0;
                bool ok = read_u32(&in, handle) && text(name);
                for (int r = 0; ok && r < 4; ++r) {
                    Point3 row;
                    ok = point(row);
                    tm.SetRow(r, row);
                }
                ok = ok && read_bytes(&in, &hidden, 1);
                if (ok && node == nullptr) {
                    node_name = name;
                    node = core.scene().CreateNode(Utf8ToWide(name), nullptr, handle);
                    node->SetObjectTM(tm);
                    node->Hide(hidden != 0);
                    by_handle[handle] = node;
                }
            } else if (id == kNodeProps && node != nullptr) {
                std::uint32_t count = 0;
                bool ok = read_u32(&in, count);
                for (std::uint32_t i = 0; ok && i < count; ++i) {
                    std::string key, value;
                    ok = text(key) && text(value);
                    if (ok) {
                        node->SetUserProp(Utf8ToWide(key), Utf8ToWide(value));
                    }
                }
            } else if (id == kNodeAnimation && node != nullptr) {
                NodeAnimation anim;
                if (anim.Load(&in)) {
                    node->SetAnimation(std::move(anim));
                } else {
                    result.warnings.push_back("object '" + node_name +
                                              "': its animation is damaged; it stands still");
                }
            } else if (id == kNodeMaterialChunk && node != nullptr) {
                std::uint32_t number = 0;
                Mtl* mtl = read_u32(&in, number) ? materials.Material(number) : nullptr;
                if (mtl == nullptr) {
                    result.warnings.push_back("object '" + node_name +
                                              "': its material is missing or damaged");
                }
                node->SetMtl(mtl);
            } else if (id == kObject && node != nullptr && node->GetObjectRef() == nullptr) {
                if (Object* obj = object()) {
                    node->SetObjectRef(obj);
                }
            } else if (id == kNodeBakeChunk && node != nullptr) {
                ReadNodeBake(&in, core, node, result.warnings);
            }
            in.CloseChunk();
        }
    }

    std::vector<INode*> handles() {
        std::vector<INode*> nodes;
        std::uint32_t count = 0;
        if (!read_u32(&in, count)) {
            return nodes;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t h = 0;
            if (!read_u32(&in, h)) {
                break;
            }
            const auto it = by_handle.find(h);
            if (it != by_handle.end()) {
                nodes.push_back(it->second);
            }
        }
        return nodes;
    }
};

// The file's bytes, or why they cannot be had. Read errors (a folder named
// like a scene, a device that fails) are answers, not exceptions.
std::string read_whole_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a folder";
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::uint8_t buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool failed = std::ferror(file) != 0;
    const int saved = errno;
    std::fclose(file);
    return failed ? std::string(std::strerror(saved)) : std::string();
}

} // namespace

std::vector<std::uint8_t> scene_bytes(StandaloneCore& core) {
    ChunkWriter out;
    out.BeginChunk(kScene);
    out.BeginChunk(kHeader);
    write_bytes(&out, kMagic, sizeof kMagic);
    write_u32(&out, kVersion);
    out.EndChunk();
    MaterialWriter materials(core.scene());
    materials.Write(&out);
    for (const auto& node : core.scene().Nodes()) {
        write_node(&out, node.get(), materials);
    }
    Scene& scene = core.scene();
    for (int i = 0; i < scene.GetNumNamedSelSets(); ++i) {
        out.BeginChunk(kNamedSet);
        write_text(&out, WideToUtf8(scene.GetNamedSelSetName(i)));
        std::vector<INode*> members;
        for (int k = 0; k < scene.GetNamedSelSetItemCount(i); ++k) {
            members.push_back(scene.GetNamedSelSetItem(i, k));
        }
        write_handles(&out, members);
        out.EndChunk();
    }
    if (!scene.FileProperties().empty()) {
        out.BeginChunk(kFileProperties);
        write_u32(&out, static_cast<std::uint32_t>(scene.FileProperties().size()));
        for (const auto& [key, value] : scene.FileProperties()) {
            write_text(&out, key);
            write_text(&out, value);
        }
        out.EndChunk();
    }
    if (core.GetTime() != 0) {
        out.BeginChunk(kTime);
        write_i32(&out, core.GetTime());
        out.EndChunk();
    }
    out.BeginChunk(kSelection);
    std::vector<INode*> selected;
    for (int i = 0; i < core.GetSelNodeCount(); ++i) {
        selected.push_back(core.GetSelNode(i));
    }
    write_handles(&out, selected);
    out.EndChunk();
    out.EndChunk();
    return out.ok() ? out.bytes() : std::vector<std::uint8_t>{};
}

SceneFileResult save_scene_file(StandaloneCore& core, const std::string& path) {
    SceneFileResult result;
    const std::vector<std::uint8_t> bytes = scene_bytes(core);
    if (bytes.empty()) {
        result.error = "Cannot save scene '" + path + "': a chunk grew too large";
        return result;
    }
    result.error = write_output_file(path, bytes);
    if (!result.error.empty()) {
        return result;
    }
    core.SetCurFilePath(path);
    result.ok = true;
    return result;
}

SceneFileResult load_scene_bytes(StandaloneCore& core, const std::uint8_t* data, std::size_t size) {
    SceneFileResult result;
    ChunkReader in(data, size);
    char magic[8] = {};
    std::uint32_t version = 0;
    if (in.OpenChunk() != IO_OK || in.CurChunkID() != kScene || in.OpenChunk() != IO_OK ||
        in.CurChunkID() != kHeader || !read_bytes(&in, magic, sizeof magic) ||
        std::memcmp(magic, kMagic, sizeof magic) != 0 || !read_u32(&in, version)) {
        result.error = "not a Vellumar scene file";
        return result;
    }
    if (version > kVersion) {
        result.error =
            "written by a newer version (scene file version " + std::to_string(version) + ")";
        return result;
    }
    in.CloseChunk();
    MaterialReader materials(core, result.warnings);
    Reader reader{core, in, result, materials, {}, {}};
    IOResult status = IO_OK;
    while ((status = in.OpenChunk()) == IO_OK) {
        switch (in.CurChunkID()) {
        case kNode:
            reader.node();
            break;
        case kMapChunk:
            materials.ReadMap(&in);
            break;
        case kMaterialChunk:
            materials.ReadMaterial(&in);
            break;
        case kNamedSet: {
            std::string name;
            if (reader.text(name)) {
                core.scene().AddNamedSelSet(Utf8ToWide(name), reader.handles());
            }
            break;
        }
        case kSelection:
            core.SetSelection(reader.handles());
            break;
        case kFileProperties: {
            std::uint32_t count = 0;
            bool ok = read_u32(&in, count);
            for (std::uint32_t i = 0; ok && i < count; ++i) {
                std::string key, value;
                ok = reader.text(key) && reader.text(value);
                if (ok) {
                    core.scene().SetFileProperty(key, value);
                }
            }
            break;
        }
        case kTime: {
            std::int32_t t = 0;
            if (read_i32(&in, t)) {
                core.SetTime(t, 0);
            }
            break;
        }
        default:
            break;
        }
        in.CloseChunk();
    }
    if (status == IO_ERROR || in.Damaged()) {
        result.warnings.push_back("the file is damaged; what came before the damage was loaded");
    }
    in.RunPostLoadCallbacks();
    result.ok = true;
    return result;
}

SceneFileResult load_scene_file(StandaloneCore& core, const std::string& path) {
    SceneFileResult result;
    std::vector<std::uint8_t> bytes;
    const std::string error = read_whole_file(path, bytes);
    if (!error.empty()) {
        result.error = "Cannot read scene '" + path + "': " + error;
        return result;
    }
    result = load_scene_bytes(core, bytes.data(), bytes.size());
    if (!result.ok) {
        result.error = "Cannot read scene '" + path + "': " + result.error;
    } else {
        core.SetCurFilePath(path);
    }
    return result;
}
