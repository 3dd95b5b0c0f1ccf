#include "unwrap/unwrapper.h"

#include "engines/flatten_unwrap.h"
#include "engines/render_uv.h"
#include "host/text.h"
#include "modifier/vellumar_modifier.h"
#include "unwrap/atlas_progress.h"
#include "unwrap/distribute.h"
#include "unwrap/extract.h"
#include "unwrap/null_view.h"
#include "unwrap/proxy_exception.h"
#include "unwrap/write_back.h"

#include <algorithm>
#include <chrono>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

namespace vatlas = vellumar::atlas;

namespace {

DWORD no_work(LPVOID) {
    return 0;
}

std::uint32_t count_charts(const vatlas::AtlasMesh& mesh,
                           std::span<const std::uint32_t> adjacency) {
    const std::vector<std::uint32_t> charts = UvAtlasProxy::charts_from_adjacency(mesh, adjacency);
    return charts.empty() ? 0 : *std::max_element(charts.begin(), charts.end());
}

// Half the cross product's length per triangle, in object space.
float surface_area(const Mesh& mesh) {
    double area = 0.0;
    const auto n = static_cast<DWORD>(mesh.verts.size());
    for (const Face& f : mesh.faces) {
        if (f.v[0] >= n || f.v[1] >= n || f.v[2] >= n) {
            continue;
        }
        const Point3& a = mesh.verts[f.v[0]];
        area += 0.5 * CrossProd(mesh.verts[f.v[1]] - a, mesh.verts[f.v[2]] - a).Length();
    }
    return static_cast<float>(area);
}

// The object's surface in scene units, as the atlas sees it.
double record_area(const ObjectRecord& r) {
    double area = 0.0;
    for (std::size_t i = 0; i + 2 < r.indices.size(); i += 3) {
        const AtlasVertex& a = r.positions[r.indices[i]];
        const AtlasVertex& b = r.positions[r.indices[i + 1]];
        const AtlasVertex& c = r.positions[r.indices[i + 2]];
        const Point3 e1(b.x - a.x, b.y - a.y, b.z - a.z), e2(c.x - a.x, c.y - a.y, c.z - a.z);
        area += 0.5 * CrossProd(e1, e2).Length();
    }
    return area;
}

// Texels per scene unit over a whole unwrapped map of width x height.
double map_density(const vatlas::AtlasMesh& mesh, int width, int height) {
    const auto v = mesh.vertices();
    const auto idx = mesh.indices();
    double uv = 0.0, surface = 0.0;
    for (std::size_t i = 0; i + 2 < idx.size(); i += 3) {
        const auto& a = v[idx[i]];
        const auto& b = v[idx[i + 1]];
        const auto& c = v[idx[i + 2]];
        uv += 0.5 * std::abs((b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u));
        const Point3 e1(b.x - a.x, b.y - a.y, b.z - a.z), e2(c.x - a.x, c.y - a.y, c.z - a.z);
        surface += 0.5 * CrossProd(e1, e2).Length();
    }
    return surface > 0 ? std::sqrt(uv * width * height / surface) : 0.0;
}

struct RenderMesh {
    Mesh* mesh = nullptr;
    BOOL owned = 0;
    ~RenderMesh() {
        if (owned) {
            delete mesh;
        }
    }
};

} // namespace

std::string template_name(double average_coverage) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.2f", average_coverage * 100.0);
    return std::string("Vellumar UV template (") + digits + "%)";
}

std::vector<INode*> Unwrapper::collect_nodes(const UnwrapSettings& s, TimeValue t) {
    if (s.mapmode == SelectionSets) {
        clean_chosen_sets(chosen_sets, true, t);
        return nodes_of_chosen_sets(chosen_sets, t);
    }
    Interface* ip = GetCOREInterface();
    std::vector<INode*> nodes;
    for (int i = 0; i < ip->GetSelNodeCount(); ++i) {
        nodes.push_back(ip->GetSelNode(i));
    }
    return nodes;
}

void Unwrapper::extract_node(INode* node, const UnwrapSettings& s, ModContext& mc) {
    Interface* ip = GetCOREInterface();
    const TimeValue t = ip->GetTime();
    auto skip = [&] { skipped_names.push_back(WideToUtf8(node->GetName())); };

    // 8.1 - 8.3: only objects that can become a triangle mesh take part.
    Object* objref = node->GetObjectRef();
    if (objref == nullptr) {
        skip();
        return;
    }
    const Matrix3 tm = node->GetObjectTM(t);
    IDerivedObject* derived = CreateDerivedObject(objref);
    Object* base = derived->FindBaseObject();
    Object* converted = base->CanConvertToType(triObjectClassID)
                            ? base->ConvertToType(t, triObjectClassID)
                            : nullptr;
    if (converted == nullptr) {
        derived->DeleteThis();
        skip();
        return;
    }
    if (converted != base) {
        converted->DeleteThis();
    }
    const bool triangle_mesh_object = base->ClassID() == triObjectClassID;

    // 8.4 - 8.5: the node's modifier, added on top of its stack when missing.
    VellumarModifier* mod = FindVellumarModifier(node);
    if (mod == nullptr) {
        mod = static_cast<VellumarModifier*>(
            ip->CreateInstance(OSM_CLASS_ID, VELLUMAR_MODIFIER_CLASS_ID));
        if (mod == nullptr) {
            derived->DeleteThis();
            throw Proxy_Exception("The Vellumar modifier is not registered with the host.",
                                  kUnwrapperUnit, __LINE__);
        }
        derived->AddModifier(mod, &mc);
        node->SetObjectRef(derived);
    } else {
        derived->DeleteThis();
    }
    modifiers_.push_back(mod);
    node_index_.emplace(node, object_count_);

    // 8.6 - 8.8: in the UV modes the object's own UVs are read, without the
    // sets this modifier would write over them.
    const bool uv_mode = s.base_unwrap == UvPack || s.base_unwrap == UvCopy;
    const bool was_suspended = uv_mode ? mod->SetApplySuspended(true) : false;
    const ObjectState& os = node->EvalWorldState(t, 1);
    NullView view;
    RenderMesh render;
    if (auto* geom = dynamic_cast<GeomObject*>(os.obj)) {
        render.mesh = geom->GetRenderMesh(t, node, view, render.owned);
    }
    if (uv_mode) {
        mod->SetApplySuspended(was_suspended);
    }

    // 8.9 - 8.11.
    ObjectRecord& record = records_[object_count_];
    record = ObjectRecord{};
    record.node = node;
    record.triangle_mesh_object = triangle_mesh_object;
    float scale = 1.0f;
    if (!node->GetUserPropFloat(L"VellumarScale", scale) || scale == 0.0f) {
        scale = 1.0f;
    }
    const Mesh empty;
    const Mesh& mesh = render.mesh != nullptr ? *render.mesh : empty;
    extract(record, mesh, tm, WideToUtf8(node->GetName()), scale, s);
    weights_.push_back(s.mapmode == FixedNumber && s.mapcount > 1 ? surface_area(mesh) : 1.0f);
    ++object_count_;
}

void Unwrapper::unwrap_map(std::int32_t map, const UnwrapSettings& s, MapReport& report) {
    report.triangles = combined_.mesh->face_count();
    if (combined_.mesh->face_count() == 0) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto lap = [&] {
        const auto now = Clock::now();
        const double seconds = std::chrono::duration<double>(now - start).count();
        start = now;
        return seconds;
    };
    const vatlas::ProgressCallback progress = atlas_progress;
    std::vector<std::uint32_t> remap;
    auto identity_remap = [&] {
        remap.resize(result_mesh_->vertex_count());
        std::iota(remap.begin(), remap.end(), 0u);
    };
    switch (s.base_unwrap) {
    case Organic:
        proxy_.create_atlas(*combined_.mesh, result_mesh_, remap, progress, combined_.adjacency,
                            combined_.false_edges, combined_.false_edge_copy,
                            combined_.triangles_only);
        report.charts = proxy_.charts_out();
        report.stretch = proxy_.stretch_out();
        break;
    case UvPack: {
        result_mesh_ = combined_.mesh->clone();
        const std::vector<std::uint32_t> charts =
            UvAtlasProxy::charts_from_adjacency(*result_mesh_, combined_.adjacency);
        proxy_.pack(result_mesh_, combined_.adjacency, progress, charts, false);
        report.charts = count_charts(*result_mesh_, combined_.adjacency);
        identity_remap();
        break;
    }
    case HardSurface:
        flatten_unwrap(proxy_, *combined_.mesh, result_mesh_, remap, progress, combined_.adjacency,
                       combined_.false_edges, GetCOREInterface(), nullptr);
        report.charts = count_charts(*result_mesh_, combined_.adjacency);
        break;
    case Projection: {
        ProjectionParams params(s.projection_camera, vertex_offset_map_, s.projection_orthographic,
                                s.projection_angle, s.projection_tolerance);
        flatten_unwrap(proxy_, *combined_.mesh, result_mesh_, remap, progress, combined_.adjacency,
                       combined_.false_edges, GetCOREInterface(), &params);
        report.charts = count_charts(*result_mesh_, combined_.adjacency);
        break;
    }
    case UvCopy:
        result_mesh_ = combined_.mesh->clone();
        identity_remap();
        break;
    default:
        throw Proxy_Exception("Result mesh is invalid", kUnwrapperUnit, __LINE__);
    }
    if (!result_mesh_) {
        throw Proxy_Exception("Result mesh is invalid", kUnwrapperUnit, __LINE__);
    }
    report.seconds_engine = lap();
    report.width = static_cast<int>(proxy_.width());
    report.height = static_cast<int>(proxy_.height());
    if (s.base_unwrap != UvCopy) {
        proxy_.aspect_fit(result_mesh_.get());
        proxy_.gutter_border(result_mesh_.get());
        proxy_.aspect_stretch(result_mesh_.get());
    }
    report.seconds_corrections = lap();
    write_back(*result_mesh_, remap, std::span(records_.data(), object_count_), assignment_, map);
    report.seconds_write_back = lap();
    report.coverage = uv_coverage(*result_mesh_);
}

void Unwrapper::build_template(const UnwrapSettings& s, std::int32_t last_map) {
    // The false edges of the last map's objects, in that map's numbering.
    template_ = TemplateRequest{};
    bool any = false;
    for (std::uint32_t i = 0; i < object_count_; ++i) {
        any = any || (assignment_[i] == last_map && !records_[i].false_edges.empty());
    }
    if (any) {
        for (std::uint32_t i = 0; i < object_count_; ++i) {
            if (assignment_[i] != last_map) {
                continue;
            }
            const ObjectRecord& r = records_[i];
            if (r.false_edges.size() == r.index_count) {
                template_.false_edges.insert(template_.false_edges.end(), r.false_edges.begin(),
                                             r.false_edges.end());
            } else {
                template_.false_edges.insert(template_.false_edges.end(), r.index_count,
                                             kNoNeighbour);
            }
        }
    }
    template_.name = template_name(coverage_);
    template_.width = s.width;
    template_.height = s.height;
    has_template_ = true;
    if (result_mesh_) {
        render_template(template_palette(), *result_mesh_, s.width, s.height, template_.name,
                        template_.false_edges);
    }
}

int Unwrapper::unwrap_maps(int map_count, const UnwrapSettings& s) {
    Interface* ip = GetCOREInterface();
    double coverage_sum = 0.0;
    int processed = 0;
    map_reports_.clear();
    for (std::int32_t m = 0; m < map_count && static_cast<std::uint32_t>(m) < object_count_; ++m) {
        current_map_ = m;
        MapReport report;
        report.map = m;
        const auto combine_start = std::chrono::steady_clock::now();
        combined_ = combine(std::span(records_.data(), object_count_), assignment_, m,
                            s.base_unwrap, s.unwrapmode, vertex_offset_map_);
        report.seconds_combine =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - combine_start).count();
        ip->ProgressUpdate(0, 0, Utf8ToWide("Unwrapping map " + std::to_string(m)).c_str());
        unwrap_map(m, s, report);
        coverage_sum += report.coverage;
        map_reports_.push_back(report);
        for (std::uint32_t i = 0; i < object_count_; ++i) {
            if (results_[i].map_index == m) {
                results_[i].record = records_[i];
                results_[i].target_channel = static_cast<std::uint32_t>(s.channel);
            }
        }
        combined_.adjacency.clear();
        combined_.false_edges.clear();
        combined_.false_edge_copy.clear();
        ++processed;
    }
    coverage_ = processed > 0 ? coverage_sum / processed : 0.0;
    return processed;
}

void Unwrapper::object_too_big(std::int32_t map, const UnwrapSettings& s) {
    std::string name;
    for (std::uint32_t i = 0; i < object_count_; ++i) {
        if (assignment_[i] == map) {
            name = WideToUtf8(records_[i].node->GetName());
        }
    }
    // The density the object gets on the largest map, for the message.
    const std::uint32_t side = density.max_size;
    proxy_.set_density(0, side, false);
    proxy_.init(GetCOREInterface()->GetMAXHWnd(), static_cast<std::uint32_t>(std::max(s.charts, 0)),
                s.stretch, side, side, s.gutter, s.quality);
    MapReport report;
    unwrap_map(map, s, report);
    char text[512];
    std::snprintf(text, sizeof text,
                  "Object \"%s\" does not fit a %u x %u map at %g texels per unit; it fits at "
                  "about %.4g texels per unit.",
                  name.c_str(), side, side, density.density,
                  map_density(*result_mesh_, static_cast<int>(side), static_cast<int>(side)));
    throw Proxy_Exception(text, kUnwrapperUnit, __LINE__);
}

int Unwrapper::unwrap_maps_at_density(int& map_count, UnwrapSettings& s) {
    if (s.base_unwrap != Organic && s.base_unwrap != HardSurface) {
        throw Proxy_Exception("A texel density needs the organic or hard surface mode: the other "
                              "modes keep the scale of the UVs they are given.",
                              kUnwrapperUnit, __LINE__);
    }
    Interface* ip = GetCOREInterface();
    // Maps are balanced by their objects' surface; an object without any
    // still counts a little, so that such objects spread over the maps
    // instead of piling onto one and leaving another empty.
    double total = 0.0;
    std::vector<float> areas(object_count_);
    for (std::uint32_t i = 0; i < object_count_; ++i) {
        areas[i] = std::max(static_cast<float>(record_area(records_[i])),
                            std::numeric_limits<float>::min());
        total += areas[i];
    }
    // Combining and writing back rewrite the records in place; a try with
    // more maps starts again from the records as extracted.
    struct Extracted {
        std::uint32_t vertex_count;
        std::vector<std::uint32_t> indices, adjacency, false_edges, false_edge_copy;
        std::vector<Point3> uvs;
    };
    std::vector<Extracted> extracted;
    extracted.reserve(object_count_);
    for (std::uint32_t i = 0; i < object_count_; ++i) {
        const ObjectRecord& r = records_[i];
        extracted.push_back(
            {r.vertex_count, r.indices, r.adjacency, r.false_edges, r.false_edge_copy, r.uvs});
    }
    const int asked = map_count;
    if (s.mapmode == FixedNumber) {
        // Charts with their gutters rarely fill more than four fifths of a
        // map; starting there spares most of the retries.
        const double room = std::pow(double(density.max_size) - s.gutter, 2.0);
        const double need = total * density.density * density.density / (0.8 * room);
        map_count =
            std::max(map_count, static_cast<int>(std::min(std::ceil(need), double(object_count_))));
    }
    int processed = 0;
    for (bool first = true;; first = false) {
        if (!first) {
            for (std::uint32_t i = 0; i < object_count_; ++i) {
                ObjectRecord& r = records_[i];
                const Extracted& e = extracted[i];
                r.vertex_count = e.vertex_count;
                r.indices = e.indices;
                r.adjacency = e.adjacency;
                r.false_edges = e.false_edges;
                r.false_edge_copy = e.false_edge_copy;
                r.uvs = e.uvs;
            }
        }
        // Also forgets whether the last try ended for want of room.
        proxy_.set_density(density.density, density.max_size, density.any_size);
        if (s.mapmode == FixedNumber) {
            assignment_ =
                distribute_fixed(std::span(results_.data(), object_count_), areas, map_count);
        }
        try {
            processed = unwrap_maps(map_count, s);
            break;
        } catch (const Proxy_Exception&) {
            if (!proxy_.too_big() || ip->GetCancel()) {
                throw;
            }
            const auto objects =
                std::count(assignment_.begin(), assignment_.begin() + object_count_, current_map_);
            if (objects == 1) {
                object_too_big(current_map_, s);
            }
            if (s.mapmode != FixedNumber) {
                throw;
            }
            ++map_count;
        }
    }
    if (map_count > asked) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Spread over %d maps (%d asked) to keep %g texels per unit.", map_count,
                      asked, density.density);
        notes.push_back(text);
    }
    // One size for the group: a map that needed less keeps its texels where
    // they are and the image grows, so every map has the same density.
    int side = 0;
    for (const MapReport& r : map_reports_) {
        side = std::max(side, r.width);
    }
    if (side == 0) {
        return processed; // no map had faces: no size to choose
    }
    double coverage_sum = 0.0;
    for (MapReport& r : map_reports_) {
        const float k = static_cast<float>(r.width) / static_cast<float>(side);
        if (r.width != side) {
            for (std::uint32_t i = 0; i < object_count_; ++i) {
                if (results_[i].map_index == r.map) {
                    for (Point3& uv : results_[i].record.uvs) {
                        uv.x *= k;
                        uv.y *= k;
                    }
                    records_[i].uvs = results_[i].record.uvs;
                }
            }
            if (r.map == map_reports_.back().map && result_mesh_) {
                for (auto& v : result_mesh_->vertices()) {
                    v.u *= k;
                    v.v *= k;
                }
            }
            r.coverage *= double(k) * double(k);
        }
        r.width = r.height = side;
        coverage_sum += r.coverage;
    }
    coverage_ = processed > 0 ? coverage_sum / processed : 0.0;
    s.width = s.height = side;
    settings().width = settings().height = side;
    return processed;
}

bool Unwrapper::run(const std::string& group_name) {
    UnwrapSettings s = settings();
    Interface* ip = GetCOREInterface();

    // 1 - 2.
    const std::vector<INode*> nodes = collect_nodes(s, ip->GetTime());
    if (nodes.empty()) {
        report("Unwrapping failed. No objects were selected.", 0);
        return false;
    }
    // 3.
    records_.clear();
    object_count_ = 0;
    skipped_names.clear();
    combined_ = CombinedMesh{};
    result_mesh_.reset();
    has_template_ = false;
    coverage_ = 0.0;
    map_reports_.clear();
    notes.clear();
    // 4.
    ip->ProgressStart(L"Unwrapping objects", 1, no_work, nullptr);
    ip->ProgressUpdate(0, 0, L"Preparing scene");

    try {
        // 6.
        proxy_.init(ip->GetMAXHWnd(), static_cast<std::uint32_t>(std::max(s.charts, 0)), s.stretch,
                    static_cast<std::uint32_t>(s.width), static_cast<std::uint32_t>(s.height),
                    s.gutter, s.quality);
        // 7.
        const auto extract_start = std::chrono::steady_clock::now();
        records_.assign(nodes.size(), ObjectRecord{});
        results_.assign(nodes.size(), UnwrapResult{});
        modifiers_.clear();
        node_index_.clear();
        weights_.clear();
        int map_count = s.mapcount;
        ModContext mc(nullptr, nullptr, nullptr);

        // 8.
        for (INode* node : nodes) {
            extract_node(node, s, mc);
        }
        // 9.
        if (modifiers_.empty()) {
            throw Proxy_Exception("No unwrapable objects in selection.", kUnwrapperUnit, __LINE__);
        }
        // 10.
        if (s.mapmode == SelectionSets) {
            assignment_ = distribute_by_sets(results_, node_index_, chosen_sets, ip->GetTime());
            map_count = static_cast<int>(chosen_sets.size());
        } else {
            assignment_ =
                distribute_fixed(std::span(results_.data(), object_count_), weights_, map_count);
        }
        // 11.
        seconds_extract_ =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - extract_start).count();
        const int processed =
            density.density > 0 ? unwrap_maps_at_density(map_count, s) : unwrap_maps(map_count, s);
        // 12 - 13.
        proxy_.release();
        // 14.
        const std::uint64_t group_key = MakeUniqueStamp();
        for (std::size_t i = 0; i < modifiers_.size(); ++i) {
            results_[i].map_count = static_cast<std::uint32_t>(map_count);
            modifiers_[i]->AddUVSet(group_key, group_name, results_[i]);
            modifiers_[i]->NotifyDependents(FOREVER, PART_TEXMAP, REFMSG_CHANGE);
        }
        ip->RedrawViews(ip->GetTime());
        ip->ProgressEnd();
        // 15.
        if (s.preview && processed > 0) {
            build_template(s, processed - 1);
        }
    } catch (const Proxy_Exception& e) {
        ip->ProgressEnd();
        modifiers_.clear();
        node_index_.clear();
        report(e.message(), 0);
        return false;
    }
    results_.resize(modifiers_.size());
    modifiers_.clear();
    node_index_.clear();
    return true;
}
