// One unwrap run: from the selected nodes to a UV set in every object's
// modifier, one shared atlas per target map.
#pragma once

#include "atlas/mesh.h"
#include "engines/uvatlasProxy.h"
#include "host/interface.h"
#include "settings/settings.h"
#include "unwrap/combine.h"
#include "unwrap/object_record.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class VellumarModifier;

// What the UV template of the last atlas is drawn from.
struct TemplateRequest {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> false_edges; // empty: none
};

// What one target map of the last run gave, and how long its stages took.
struct MapReport {
    std::int32_t map = 0;
    std::uint32_t triangles = 0;
    std::uint32_t charts = 0;
    double coverage = 0.0;
    float stretch = 0.0f;      // the engine's own measure; 0 where it computes none
    int width = 0, height = 0; // the map's size in texels
    double seconds_combine = 0.0;
    double seconds_engine = 0.0;
    double seconds_corrections = 0.0;
    double seconds_write_back = 0.0;
};

// "Vellumar UV template (" + coverage in percent with two decimals + "%)".
std::string template_name(double average_coverage);

class Unwrapper {
  public:
    // Runs the whole pipeline once with the settings as they are now. Returns
    // false when it stopped with a message (told through report()).
    bool run(const std::string& group_name);

    std::vector<std::wstring> chosen_sets;
    std::vector<std::string> skipped_names;

    // A texel density (texels per scene unit) that chooses the maps' size
    // instead of the settings: the smallest square side up to max_size (a
    // power of two unless any_size) that holds every map of the group at
    // that density. A group that needs more than one largest map spreads
    // over more maps. The chosen side is written into the settings' width
    // and height. 0: the settings' size stands.
    struct DensityRequest {
        double density = 0;
        std::uint32_t max_size = 4096;
        bool any_size = false;
    };
    DensityRequest density;
    // What the last run decided on its own that the user should hear.
    std::vector<std::string> notes;

    // The records of the last run (the first object_count are valid).
    const std::vector<ObjectRecord>& records() const { return records_; }
    std::uint32_t object_count() const { return object_count_; }
    // The results of the last run that went through, one per valid object.
    const std::vector<UnwrapResult>& results() const { return results_; }
    // Average UV coverage of the maps of the last run.
    double coverage() const { return coverage_; }
    // Set when the last run asked for a preview.
    const TemplateRequest* template_request() const { return has_template_ ? &template_ : nullptr; }
    const vellumar::atlas::AtlasMesh* result_mesh() const { return result_mesh_.get(); }
    const std::vector<MapReport>& map_reports() const { return map_reports_; }
    // Seconds spent collecting and extracting the objects.
    double seconds_extract() const { return seconds_extract_; }

  private:
    std::vector<INode*> collect_nodes(const UnwrapSettings& s, TimeValue t);
    void extract_node(INode* node, const UnwrapSettings& s, class ModContext& mc);
    void unwrap_map(std::int32_t map, const UnwrapSettings& s, MapReport& report);
    void build_template(const UnwrapSettings& s, std::int32_t last_map);
    // Every map of the run, combined and unwrapped in turn.
    int unwrap_maps(int map_count, const UnwrapSettings& s);
    // With a density: the maps it needs, the maps tried again with one more
    // whenever one does not fit, and all of them brought to one size.
    int unwrap_maps_at_density(int& map_count, UnwrapSettings& s);
    [[noreturn]] void object_too_big(std::int32_t map, const UnwrapSettings& s);

    UvAtlasProxy proxy_;
    CombinedMesh combined_;
    std::unique_ptr<vellumar::atlas::AtlasMesh> result_mesh_;
    std::vector<ObjectRecord> records_;
    std::uint32_t object_count_ = 0;
    std::map<std::uint32_t, INode*> vertex_offset_map_;

    // Per run.
    std::vector<VellumarModifier*> modifiers_;
    std::map<INode*, std::size_t> node_index_;
    std::vector<float> weights_;
    std::vector<UnwrapResult> results_;
    std::vector<std::int32_t> assignment_;
    double coverage_ = 0.0;
    TemplateRequest template_;
    bool has_template_ = false;
    std::vector<MapReport> map_reports_;
    double seconds_extract_ = 0.0;
    std::int32_t current_map_ = 0;
};
