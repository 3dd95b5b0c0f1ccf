#include "unwrap/unwrapper.h"

#include "engines/flatten_unwrap.h"
#include "engines/render_uv.h"
#include "host/text.h"
#include "modifier/vellumar_modifier.h"
#include "unwrap/distribute.h"
#include "unwrap/extract.h"
#include "unwrap/null_view.h"
#include "unwrap/proxy_exception.h"
#include "unwrap/atlas_progress.h"
#include "unwrap/write_back.h"

#include <algorithm>
#include <chrono>

#include <cmath>
#include <cstdio>
#include <numeric>

namespace vatlas = vellumar::atlas;

namespace {

DWORD no_work(LPVOID) {
    return 0;
}

std::uint32_t count_charts(const vatlas::AtlasMesh& mesh, std::span<const std::uint32_t> adjacency) {
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
        flatten_unwrap(proxy_, *combined_.mesh, result_mesh_, remap, progress,
                       combined_.adjacency, combined_.false_edges, GetCOREInterface(), nullptr);
        report.charts = count_charts(*result_mesh_, combined_.adjacency);
        break;
    case Projection: {
        ProjectionParams params(s.projection_camera, vertex_offset_map_,
                                s.projection_orthographic, s.projection_angle,
                                s.projection_tolerance);
        flatten_unwrap(proxy_, *combined_.mesh, result_mesh_, remap, progress,
                       combined_.adjacency, combined_.false_edges, GetCOREInterface(), &params);
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

bool Unwrapper::run(const std::string& group_name) {
    const UnwrapSettings s = settings();
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
        seconds_extract_ = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                         extract_start)
                               .count();
        double coverage_sum = 0.0;
        std::int32_t processed = 0;
        for (std::int32_t m = 0; m < map_count && static_cast<std::uint32_t>(m) < object_count_;
             ++m) {
            MapReport report;
            report.map = m;
            const auto combine_start = std::chrono::steady_clock::now();
            combined_ = combine(std::span(records_.data(), object_count_), assignment_, m,
                                s.base_unwrap, s.unwrapmode, vertex_offset_map_);
            report.seconds_combine = std::chrono::duration<double>(
                                         std::chrono::steady_clock::now() - combine_start)
                                         .count();
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
        // 12 - 13.
        coverage_ = processed > 0 ? coverage_sum / processed : 0.0;
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
