#include "studio/studio.h"

#include "host/iparamb2.h"
#include "host/mtl.h"
#include "host/text.h"
#include "modifier/unwrap_groups.h"
#include "settings/settings.h"
#include "standalone/files/exporter.h"
#include "standalone/files/json_text.h"
#include "standalone/files/png_file.h"
#include "standalone/files/scene_file.h"
#include "standalone/materials/shell_material.h"
#include "studio/file_browser.h"
#include "studio/panel_state.h"
#include "studio/request_guard.h"
#include "studio/web_assets.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The Baking rollout's unwrap group list.
constexpr int kGroupListId = 1101;

// Debian's three.js (libjs-three): the page's 3D view, served from the
// machine, never fetched from the internet.
const std::map<std::string, std::string>& three_files() {
    static const std::map<std::string, std::string> files = {
        {"/three/three.min.js", "/usr/share/javascript/three/three.min.js"},
        {"/three/GLTFLoader.js", "/usr/share/javascript/three/examples/js/loaders/GLTFLoader.js"},
        {"/three/OrbitControls.js",
         "/usr/share/javascript/three/examples/js/controls/OrbitControls.js"}};
    return files;
}

HttpReply file_reply(const std::string& path, const std::string& type) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {404, "text/plain", path + " is not installed (Debian package libjs-three)"};
    }
    std::stringstream body;
    body << in.rdbuf();
    return {200, type, body.str()};
}

std::string as_text(const std::vector<std::uint8_t>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A module bitmap as PNG, its alpha as drawn.
HttpReply bitmap_reply(int id) {
    const ModuleResources* module = nullptr;
    if (Toolkit* tk = Toolkit::Current(); tk != nullptr && !tk->rollouts().empty()) {
        module = tk->Find(tk->rollouts().front().window)->module;
    }
    const BitmapResource* b = module != nullptr ? module->FindBitmap(id) : nullptr;
    if (b == nullptr) {
        return {404, "text/plain", "no bitmap " + std::to_string(id)};
    }
    std::vector<std::uint16_t> px;
    px.reserve(b->pixels.size() * 4);
    for (std::uint32_t p : b->pixels) {
        for (int shift : {16, 8, 0, 24}) {
            px.push_back(static_cast<std::uint16_t>(((p >> shift) & 0xFF) * 257));
        }
    }
    std::vector<std::uint8_t> png;
    if (!png_rgba16(b->width, b->height, px, png).empty()) {
        return {500, "text/plain", "cannot encode bitmap"};
    }
    return {200, "image/png", as_text(png)};
}

std::string quoted_list(const std::vector<std::string>& items) {
    std::string j = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        j += (i == 0 ? "" : ",") + JsonQuoted(items[i]);
    }
    return j + "]";
}

std::vector<INode*> mesh_nodes(StandaloneCore& core) {
    std::vector<INode*> nodes;
    for (const auto& node : core.scene().Nodes()) {
        Object* obj = node->EvalWorldState(core.GetTime()).obj;
        if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
            nodes.push_back(node.get());
        }
    }
    return nodes;
}

} // namespace

Studio::Studio(StandaloneCore& core, fs::path root, std::string scenePath)
    : core_(core), root_(std::move(root)), scene_path_(std::move(scenePath)), token_(NewToken()),
      server_(token_, {[this](const std::string& t, StudioServer::Reply r) { on_get(t, r); },
                       [this](const std::string& text) { on_message(text); },
                       [this] {
                           post({[this] { resend(); }, false});
                       }}) {
    saved_hash_ = scene_hash();
    shown_hash_ = saved_hash_;
    core_.ui().SetModalPump([this] { return pump(); });
    core_.SetMessageListener([this](const MessageRecord& m) {
        std::printf("[%s] %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
        std::fflush(stdout);
        send("{\"type\":\"message\",\"caption\":" + JsonQuoted(WideToUtf8(m.caption)) +
             ",\"text\":" + JsonQuoted(WideToUtf8(m.text)) + "}");
    });
    core_.SetProgressListener([this](const ProgressBar& bar) {
        const int percent = bar.open() ? bar.percent() : -1;
        if (percent == last_percent_ && bar.open()) {
            return;
        }
        last_percent_ = percent;
        send("{\"type\":\"progress\",\"open\":" + std::string(bar.open() ? "true" : "false") +
             ",\"title\":" + JsonQuoted(WideToUtf8(bar.title())) +
             ",\"percent\":" + std::to_string(bar.percent()) + "}");
    });
}

Studio::~Studio() {
    server_.Stop();
    core_.ui().SetModalPump(nullptr);
    core_.SetMessageListener(nullptr);
    core_.SetProgressListener(nullptr);
}

bool Studio::Listen(int port, std::string& error) {
    return server_.Start(port, error);
}

std::string Studio::address() const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + "/?t=" + token_;
}

void Studio::post(Work work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    ready_.notify_one();
}

Studio::Ran Studio::run_one(std::chrono::milliseconds wait) {
    Work work;
    {
        std::unique_lock lock(mutex_);
        // While a selector waits, only its answer (or a request for data)
        // may run: anything else stays queued until it has closed, as a
        // person cannot click behind the system's file dialog.
        const bool selector = core_.ui().pending_selector().has_value();
        auto runnable = [&] {
            return std::find_if(queue_.begin(), queue_.end(),
                                [&](const Work& w) { return !selector || !w.action || w.answer; });
        };
        if (!ready_.wait_for(lock, wait, [&] { return runnable() != queue_.end(); })) {
            return Ran::Nothing;
        }
        const auto it = runnable();
        work = std::move(*it);
        queue_.erase(it);
    }
    work.run();
    flush(work.action);
    return work.action ? Ran::Action : Ran::Task;
}

bool Studio::pump() {
    flush(false); // the dialog or selector that now waits is on the page
    while (!quit_ && !(stop_ != nullptr && *stop_)) {
        core_.ui().DispatchPosted();
        if (run_one(std::chrono::milliseconds(100)) == Ran::Action) {
            return true;
        }
    }
    return false;
}

int Studio::Run(const std::atomic<bool>& stop) {
    stop_ = &stop;
    while (!quit_ && !stop) {
        if (core_.ui().DispatchPosted() > 0) {
            flush(false);
        }
        run_one(std::chrono::milliseconds(100));
    }
    send("{\"type\":\"quit\"}");
    const bool unsaved = scene_hash() != saved_hash_;
    if (unsaved) {
        std::fprintf(stderr, "vellumar studio: the scene's changes were not saved\n");
    }
    return unsaved && stop ? 1 : 0;
}

void Studio::on_message(const std::string& text) {
    // Cancel reaches a run that holds the user-interface thread.
    if (text == "cancel") {
        core_.SetCancel(1);
        return;
    }
    std::istringstream words(text);
    std::string verb, answer;
    words >> verb >> answer;
    post({[this, text] { execute(text); }, true, verb == "act" && answer == "answer"});
}

void Studio::error(const std::string& text) {
    send("{\"type\":\"error\",\"text\":" + JsonQuoted(text) + "}");
}

void Studio::execute(const std::string& text) {
    const auto space = text.find(' ');
    const std::string verb = text.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : text.substr(space + 1);
    if (verb == "act") {
        std::string line = rest;
        // A path chosen in the page's browser is relative to the root. The
        // words are split as the toolkit splits them, blanks of any kind.
        std::istringstream words(rest);
        std::string first, kind, path;
        words >> first >> kind;
        std::getline(words >> std::ws, path);
        if (first == "answer" && kind != "cancel") {
            const auto confined = ConfinedPath(root_, path);
            if ((kind != "file" && kind != "folder") || !confined) {
                error("refused: the path leaves the studio's folder");
                return;
            }
            line = "answer " + kind + " " + confined->string();
        }
        const ActionResult r = core_.ui().Perform(line);
        if (r.kind == ActionResult::Failed) {
            error(r.message);
        } else if (!r.message.empty()) {
            send("{\"type\":\"note\",\"text\":" + JsonQuoted(r.message) + "}");
        }
    } else if (verb == "selectnode") {
        std::vector<INode*> nodes;
        if (INode* node = core_.GetINodeByName(Utf8ToWide(rest).c_str())) {
            nodes.push_back(node);
        }
        core_.SetSelection(std::move(nodes));
    } else if (verb == "save") {
        const auto path = ConfinedPath(root_, rest);
        if (!path || path->extension() != kSceneExtension) {
            error("refused: a scene is saved as a .vlscene file inside the studio's folder");
            return;
        }
        const SceneFileResult r = save_scene_file(core_, path->string());
        if (!r.ok) {
            error(r.error);
            return;
        }
        saved_hash_ = scene_hash();
        scene_path_ = path->string();
        send("{\"type\":\"saved\",\"path\":" + JsonQuoted(RelativeToRoot(root_, *path)) + "}");
    } else if (verb == "quit") {
        if (rest != "discard" && scene_hash() != saved_hash_) {
            send("{\"type\":\"confirmQuit\"}");
            return;
        }
        quit_ = true;
    } else {
        error("unknown message '" + verb + "'");
    }
}

void Studio::resend() {
    // A page that connected (or reloaded) gets everything anew.
    sent_seq_ = ~0ull;
    shown_nodes_.clear();
    send("{\"type\":\"scene\",\"version\":" + std::to_string(scene_version_) +
         ",\"dirty\":" + (shown_hash_ != saved_hash_ ? "true" : "false") + "}");
    flush(false);
}

std::uint64_t Studio::scene_hash() {
    const std::vector<std::uint8_t> bytes = scene_bytes(core_);
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Studio::flush(bool afterAction) {
    core_.ui().DispatchPosted();
    if (core_.ui().sequence() != sent_seq_) {
        sent_seq_ = core_.ui().sequence();
        send("{\"type\":\"state\",\"panel\":" + PanelStateJson(core_.ui()) + "}");
    }
    send_scene_state();
    if (afterAction) {
        const std::uint64_t h = scene_hash();
        if (h != shown_hash_) {
            shown_hash_ = h;
            ++scene_version_;
            send("{\"type\":\"scene\",\"version\":" + std::to_string(scene_version_) +
                 ",\"dirty\":" + (h != saved_hash_ ? "true" : "false") + "}");
        }
    }
}

void Studio::send_scene_state() {
    std::vector<std::string> selection;
    for (int i = 0; i < core_.GetSelNodeCount(); ++i) {
        selection.push_back(WideToUtf8(core_.GetSelNode(i)->GetName()));
    }
    const std::vector<INode*> meshes = mesh_nodes(core_);
    std::vector<std::string> names;
    for (INode* node : meshes) {
        names.push_back(WideToUtf8(node->GetName()));
    }
    // The group chosen in the panel's group list (by name; the newest when
    // none is): its objects and channel, which the UV view draws.
    std::string chosen;
    if (const Window* list = core_.ui().Find(core_.ui().FindControl(kGroupListId));
        list != nullptr && list->cursel >= 0 &&
        list->cursel < static_cast<int>(list->items.size())) {
        chosen = WideToUtf8(list->items[static_cast<std::size_t>(list->cursel)].text);
    }
    std::vector<std::string> group;
    int channel = settings().channel;
    const auto groups = CollectUnwrapGroups();
    std::uint64_t key = groups.empty() ? 0 : groups.rbegin()->first;
    for (const auto& [k, name] : groups) {
        if (name == chosen) {
            key = k;
            break;
        }
    }
    for (INode* node : meshes) {
        if (key != 0 && NodeMapCount(node, key) > 0) {
            group.push_back(WideToUtf8(node->GetName()));
            channel = NodeMapChannel(node, key);
        }
    }
    const std::string json = "{\"type\":\"nodes\",\"nodes\":" + quoted_list(names) +
                             ",\"selection\":" + quoted_list(selection) +
                             ",\"group\":" + quoted_list(group) +
                             ",\"channel\":" + std::to_string(channel) + "}";
    if (json != shown_nodes_) {
        shown_nodes_ = json;
        send(json);
    }
}

std::string Studio::scene_glb(bool baked) {
    // Baked: every shell shows its baked material for the length of the
    // export, as rendering would with Render set to Baked.
    std::vector<std::pair<IParamBlock2*, int>> restore;
    const std::vector<INode*> nodes = mesh_nodes(core_);
    if (baked) {
        for (INode* node : nodes) {
            Mtl* mtl = node->GetMtl();
            if (mtl != nullptr && mtl->ClassID() == bakeShellClassID && mtl->NumParamBlocks() > 0) {
                IParamBlock2* block = mtl->GetParamBlock(0);
                restore.emplace_back(block, block->GetInt(1));
                block->SetValue(1, 0, 1);
            }
        }
    }
    struct Restore {
        std::vector<std::pair<IParamBlock2*, int>>& shells;
        ~Restore() {
            for (auto& [block, value] : shells) {
                block->SetValue(1, 0, value);
            }
        }
    } put_back{restore};
    ExportResult r = export_glb(nodes, core_.GetTime(), settings().channel);
    return r.ok ? as_text(r.bytes) : std::string();
}

void Studio::on_get(const std::string& target, StudioServer::Reply reply) {
    const std::string path = TargetPath(target);
    const auto query = TargetQuery(target);
    if (path == "/" || path == "/index.html") {
        // The page's own files carry the token as every request must.
        std::string page(WebAsset("index.html"));
        for (auto at = page.find("TOKEN"); at != std::string::npos; at = page.find("TOKEN", at)) {
            page.replace(at, 5, token_);
        }
        reply({200, "text/html; charset=utf-8", std::move(page)});
    } else if (path == "/studio.js") {
        reply({200, "text/javascript; charset=utf-8", std::string(WebAsset("studio.js"))});
    } else if (path == "/studio.css") {
        reply({200, "text/css; charset=utf-8", std::string(WebAsset("studio.css"))});
    } else if (const auto three = three_files().find(path); three != three_files().end()) {
        reply(file_reply(three->second, "text/javascript; charset=utf-8"));
    } else if (path == "/files") {
        const auto it = query.find("dir");
        const auto listing = ListFolderJson(root_, it != query.end() ? it->second : "");
        reply(listing ? HttpReply{200, "application/json", *listing}
                      : HttpReply{403, "text/plain", "refused: no such folder in the studio's"});
    } else if (path == "/scene.glb") {
        const auto mode = query.find("mode");
        const bool baked = mode != query.end() && mode->second == "baked";
        post({[this, reply, baked] {
                  if (mesh_nodes(core_).empty()) {
                      // Nothing to draw yet is no error: an empty scene.
                      reply({200, "model/gltf+json",
                             R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[]}]})"});
                      return;
                  }
                  std::string glb = scene_glb(baked);
                  reply(glb.empty() ? HttpReply{500, "text/plain", "the scene cannot be exported"}
                                    : HttpReply{200, "model/gltf-binary", std::move(glb)});
              },
              false});
    } else if (path == "/bitmap") {
        const auto id = query.find("id");
        post({[reply, id = id != query.end() ? std::atoi(id->second.c_str()) : 0] {
                  reply(bitmap_reply(id));
              },
              false});
    } else {
        reply({404, "text/plain", "not found"});
    }
}
