#include "atlas/segment.h"

#include "atlas/chart_merge.h"
#include "atlas/chart_split.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <new>
#include <numeric>
#include <string>
#include <system_error>
#include <thread>

namespace vellumar::atlas {

namespace {

// How many connected parts of the link graph hold a triangle with area,
// counted without keeping them: a mesh of millions of separate triangles
// that cannot fit is refused before it costs a list per triangle.
std::size_t parts_with_area(const Topology& topology, const FaceGeometry& geometry,
                            std::uint32_t faces) {
    std::vector<std::uint8_t> seen(faces, 0);
    std::vector<std::uint32_t> queue;
    std::size_t count = 0;
    for (std::uint32_t f = 0; f < faces; ++f) {
        if (seen[f]) {
            continue;
        }
        queue.assign(1, f);
        seen[f] = 1;
        bool area = false;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::uint32_t g = queue[i];
            area = area || geometry.area[g] > geometry.area_floor;
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology.twin[3 * g + k];
                if (t != kNoNeighbour && !seen[t / 3]) {
                    seen[t / 3] = 1;
                    queue.push_back(t / 3);
                }
            }
        }
        count += area ? 1 : 0;
    }
    return count;
}

// Connected parts of the link graph, each ascending, in order of their
// lowest triangle.
std::vector<std::vector<std::uint32_t>> linked_parts(const Topology& topology,
                                                     std::uint32_t faces) {
    std::vector<std::vector<std::uint32_t>> parts;
    std::vector<std::uint8_t> seen(faces, 0);
    std::vector<std::uint32_t> queue;
    for (std::uint32_t f = 0; f < faces; ++f) {
        if (seen[f]) {
            continue;
        }
        queue.assign(1, f);
        seen[f] = 1;
        for (std::size_t i = 0; i < queue.size(); ++i) {
            const std::uint32_t g = queue[i];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology.twin[3 * g + k];
                if (t != kNoNeighbour && !seen[t / 3]) {
                    seen[t / 3] = 1;
                    queue.push_back(t / 3);
                }
            }
        }
        std::sort(queue.begin(), queue.end());
        parts.push_back(queue);
    }
    return parts;
}

// What one split-phase step made of a chart: the flattened chart, or two
// halves to try next.
struct Step {
    bool split = false;
    FlatChart chart;
    std::vector<std::uint32_t> first, second;
};

// One worker of the split phase, with its own scratch memory.
struct Worker {
    Worker(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
           const SegmentOptions& options)
        : flattener(mesh, topology, geometry, options), splitter(topology, geometry) {}

    void run(const std::vector<std::uint32_t>& faces, Step& step) {
        step.split = false;
        if (flattener.flatten(faces, step.chart)) {
            return;
        }
        if (splitter.split(faces, step.first, step.second)) {
            step.split = true;
            return;
        }
        flattener.flatten_anyway(faces, step.chart);
    }

    Flattener flattener;
    ChartSplitter splitter;
};

constexpr unsigned kMaxWorkers = 4;
// Charts of a wave whose steps are held at once.
constexpr std::size_t kBlock = 4096;

// Runs the steps of pending[first, first + count) into steps[0, count) on
// up to worker_count threads. False when memory ran out.
bool run_block(const std::vector<std::vector<std::uint32_t>>& pending, std::size_t first,
               std::size_t count, const SegmentOptions& options, const AtlasMesh& mesh,
               const Topology& topology, const FaceGeometry& geometry, unsigned worker_count,
               std::vector<std::unique_ptr<Worker>>& workers, std::vector<Step>& steps) {
    steps.assign(count, Step{});
    std::size_t wave_faces = 0;
    for (std::size_t n = 0; n < count; ++n) {
        wave_faces += pending[first + n].size();
    }
    std::atomic<std::size_t> next_item{0};
    std::atomic<bool> out_of_memory{false};
    auto work = [&](Worker& worker) {
        try {
            for (std::size_t n; (n = next_item++) < count;) {
                worker.run(pending[first + n], steps[n]);
            }
        } catch (const std::bad_alloc&) {
            out_of_memory = true;
            next_item = count;
        }
    };
    const unsigned threads =
        (count > 1 && wave_faces >= options.parallel_wave_faces) ? worker_count : 1;
    while (workers.size() < threads) {
        workers.push_back(std::make_unique<Worker>(mesh, topology, geometry, options));
    }
    std::vector<std::thread> helpers;
    for (unsigned w = 1; w < threads; ++w) {
        try {
            helpers.emplace_back(work, std::ref(*workers[w]));
        } catch (const std::system_error&) {
            break; // fewer threads: the same result, later
        }
    }
    work(*workers[0]);
    for (std::thread& t : helpers) {
        t.join();
    }
    return !out_of_memory;
}

} // namespace

Status flatten_charts(const AtlasMesh& mesh, const Topology& topology, const FaceGeometry& geometry,
                      const SegmentOptions& options, ProgressReporter& progress,
                      std::vector<FlatChart>& out) {
    out.clear();
    const std::uint32_t total = mesh.face_count();
    // 1. Split until every chart flattens within the limits, a wave of
    // charts at a time. Each chart's outcome depends on its triangles only,
    // so the waves run on worker threads and the results are collected in
    // wave order: the same output for any number of threads.
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    const unsigned worker_count = std::min(hardware, kMaxWorkers);
    std::vector<std::unique_ptr<Worker>> workers;
    workers.push_back(std::make_unique<Worker>(mesh, topology, geometry, options));
    if (parts_with_area(topology, geometry, total) > options.max_parts) {
        return Status::Failed;
    }
    std::vector<std::vector<std::uint32_t>> pending = linked_parts(topology, total), next;
    // Where each chart sits in the tree of splits: its part, then one
    // letter per split ('0' first half, '1' second).
    std::vector<std::string> paths(pending.size()), next_paths, out_paths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        char key[24];
        std::snprintf(key, sizeof key, "%012zu", i);
        paths[i] = key;
    }
    std::vector<Step> steps;
    std::size_t done = 0;
    while (!pending.empty()) {
        next.clear();
        next_paths.clear();
        // A wave runs in blocks, so that a mesh of millions of separate
        // triangles holds the steps of one block at a time, not one per
        // triangle; blocks run in order, so the output stays the same.
        for (std::size_t block = 0; block < pending.size(); block += kBlock) {
            const std::size_t count = std::min(kBlock, pending.size() - block);
            if (!run_block(pending, block, count, options, mesh, topology, geometry, worker_count,
                           workers, steps)) {
                throw std::bad_alloc();
            }
            for (std::size_t n = 0; n < count; ++n) {
                const std::size_t i = block + n;
                if (steps[n].split) {
                    next.push_back(std::move(steps[n].first));
                    next.push_back(std::move(steps[n].second));
                    next_paths.push_back(paths[i] + '0');
                    next_paths.push_back(paths[i] + '1');
                } else {
                    done += pending[i].size();
                    out.push_back(std::move(steps[n].chart));
                    out_paths.push_back(std::move(paths[i]));
                }
            }
        }
        pending.swap(next);
        paths.swap(next_paths);
        if (!progress.report(0.5f * static_cast<float>(done) / static_cast<float>(total))) {
            return Status::Failed;
        }
    }
    // The greedy merge below depends on the order of the charts: restore
    // depth-first order (part by part, first halves first), whatever the
    // waves did.
    std::vector<std::uint32_t> order(out.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return out_paths[a] < out_paths[b]; });
    // In place, cycle by cycle: a second array of charts would double the
    // memory of the largest array of the run.
    for (std::size_t start = 0; start < order.size(); ++start) {
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            std::swap(out[at], out[from]);
            order[at] = static_cast<std::uint32_t>(at);
            at = from;
        }
        order[at] = static_cast<std::uint32_t>(at);
    }
    // 2. Undo the splits that went further than needed.
    // A spare flattener for merges tried ahead, when any can be that large.
    if (worker_count > 1 && workers.size() < 2 && total >= options.parallel_merge_faces) {
        workers.push_back(std::make_unique<Worker>(mesh, topology, geometry, options));
    }
    Flattener* spare = workers.size() > 1 ? &workers[1]->flattener : nullptr;
    return merge_charts(mesh, topology, workers[0]->flattener, spare, options, progress, out)
               ? Status::Ok
               : Status::Failed;
}

} // namespace vellumar::atlas
