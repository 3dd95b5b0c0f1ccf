#include "apps/vellumar/panel_command.h"

#include "apps/vellumar/network_commands.h"
#include "apps/vellumar/scene_io.h"
#include "host/text.h"
#include "netrender/net_render.h"
#include "plugin/module.h"
#include "settings/settings.h"
#include "standalone/files/scene_file.h"
#include "standalone/network/job_queue.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace {

// The script's lines, one at a time: modal dialogs take their actions from
// the same reader while they run.
class ScriptReader {
  public:
    explicit ScriptReader(std::istream& in) : in_(in) {}
    // The next line that is no comment or blank; false at the end.
    bool next(std::string& line) {
        while (std::getline(in_, line)) {
            ++number_;
            const auto first = line.find_first_not_of(" \t\r");
            if (first == std::string::npos || line[first] == '#') {
                continue;
            }
            const auto last = line.find_last_not_of(" \t\r");
            line = line.substr(first, last - first + 1);
            return true;
        }
        return false;
    }
    int number() const { return number_; }

  private:
    std::istream& in_;
    int number_ = 0;
};

std::string selection_line(StandaloneCore& core) {
    std::string line = "selection:";
    for (int i = 0; i < core.GetSelNodeCount(); ++i) {
        line += (i == 0 ? " " : ", ") + WideToUtf8(core.GetSelNode(i)->GetName());
    }
    return line + "\n";
}

class PanelSession {
  public:
    PanelSession(StandaloneCore& core, const std::string& scene, ScriptReader& reader)
        : core_(core), scene_(scene), reader_(reader) {}

    // Runs lines until the script ends or one fails.
    bool run() {
        std::string line;
        while (!failed_ && reader_.next(line)) {
            core_.ui().DispatchPosted();
            perform(line);
        }
        core_.ui().DispatchPosted();
        return !failed_;
    }
    // A network job the script waited for failed.
    bool jobs_failed() const { return jobs_failed_; }
    // One action while a modal dialog runs; false when the script has none
    // left (or failed), which closes the dialog.
    bool pump() {
        std::string line;
        if (failed_ || !reader_.next(line)) {
            return false;
        }
        perform(line);
        return !failed_;
    }

  private:
    void perform(const std::string& line) {
        if (line == "dump") {
            std::fputs((core_.ui().Dump() + selection_line(core_)).c_str(), stdout);
            return;
        }
        if (line == "wait") {
            wait_for_network();
            return;
        }
        if (line.rfind("nodes ", 0) == 0) {
            select_nodes(line.substr(6));
            return;
        }
        const ActionResult r = core_.ui().Perform(line);
        if (r.kind == ActionResult::Failed) {
            std::fprintf(stderr, "vellumar: script line %d: %s\n", reader_.number(),
                         r.message.c_str());
            failed_ = true;
        } else if (!r.message.empty()) {
            std::printf("line %d: %s%s\n", reader_.number(),
                        r.kind == ActionResult::Ignored ? "ignored: " : "", r.message.c_str());
        }
    }

    // Stays until the submitted jobs have ended, as a user watching the
    // status would, then shows the status the panel came to.
    void wait_for_network() {
        if (netRender().Jobs().empty()) {
            std::printf("line %d: no network job to wait for\n", reader_.number());
        } else if (!wait_for_jobs()) {
            jobs_failed_ = true;
        }
        core_.ui().DispatchPosted();
        const Window* status = core_.ui().Find(core_.ui().FindControl(1064));
        std::printf("network status: %s\n",
                    status != nullptr ? WideToUtf8(status->text).c_str() : "(no panel)");
    }

    void select_nodes(const std::string& list) {
        std::vector<INode*> nodes;
        if (list == "all") {
            for (const auto& node : core_.scene().Nodes()) {
                Object* obj = node->EvalWorldState(core_.GetTime()).obj;
                if (obj != nullptr && obj->CanConvertToType(triObjectClassID)) {
                    nodes.push_back(node.get());
                }
            }
        } else {
            std::vector<std::string> names;
            std::string name;
            for (std::size_t i = 0; i <= list.size(); ++i) {
                if (i == list.size() || list[i] == ',') {
                    if (!name.empty()) {
                        names.push_back(name);
                    }
                    name.clear();
                } else {
                    name += list[i];
                }
            }
            if (!find_named_nodes(core_, names, scene_, nodes)) {
                failed_ = true;
                return;
            }
        }
        core_.SetSelection(std::move(nodes));
    }

    StandaloneCore& core_;
    const std::string& scene_;
    ScriptReader& reader_;
    bool failed_ = false;
    bool jobs_failed_ = false;
};

bool outputs_are_usable(const PanelCommand& cmd) {
    if (!cmd.save.empty() && !cmd.save.ends_with(kSceneExtension)) {
        std::fprintf(stderr, "vellumar: a saved scene is a %s file: '%s'\n", kSceneExtension,
                     cmd.save.c_str());
        return false;
    }
    for (const std::string* out : {&cmd.save, &cmd.export_path, &cmd.template_path}) {
        if (!out->empty() && same_file(*out, cmd.scene) && !out->ends_with(kSceneExtension)) {
            std::fprintf(stderr, "vellumar: '%s' is the input scene; it would be replaced\n",
                         out->c_str());
            return false;
        }
    }
    if (!cmd.save.empty() && same_file(cmd.save, cmd.export_path)) {
        std::fprintf(stderr, "vellumar: --save and --export both name '%s'\n", cmd.save.c_str());
        return false;
    }
    return true;
}

} // namespace

int run_panel_command(const PanelCommand& cmd) {
    if (!outputs_are_usable(cmd)) {
        return 2;
    }
    std::ifstream file;
    if (!cmd.script.empty() && cmd.script != "-") {
        file.open(cmd.script);
        if (!file) {
            std::fprintf(stderr, "vellumar: cannot read the script '%s'\n", cmd.script.c_str());
            return 2;
        }
    }
    StandaloneCore core(isatty(STDERR_FILENO) != 0);
    register_plugin_classes(core);
    core.SetHoldDisplayedImages(true);
    if (!open_and_select(core, cmd.scene, cmd.nodes, cmd.up)) {
        return 2;
    }
    UnwrapSettings& s = settings();
    if (!cmd.options->apply(s)) {
        print_messages(core);
        return 2;
    }
    if (!cmd.farm.empty()) {
        farmConfig().kind = cmd.farm == "slurm" ? FarmKind::Slurm : FarmKind::Local;
    }
    // A camera handle only means something in the scene it was picked in.
    s.projection_camera = 0;
    core.ClearMessages();
    core.SetMessageListener([](const MessageRecord& m) {
        std::printf("[%s] %s\n", WideToUtf8(m.caption).c_str(), WideToUtf8(m.text).c_str());
    });

    ClassEntry* utility = core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID);
    if (utility == nullptr || !core.ui().OpenUtility(utility->CD())) {
        std::fprintf(stderr, "vellumar: the plug-in offers no panel\n");
        return 2;
    }
    bool ok = true;
    bool jobs_failed = false;
    if (cmd.script.empty()) {
        std::fputs((core.ui().Dump() + selection_line(core)).c_str(), stdout);
    } else {
        ScriptReader reader(file.is_open() ? static_cast<std::istream&>(file) : std::cin);
        PanelSession session(core, cmd.scene, reader);
        core.ui().SetModalPump([&session] { return session.pump(); });
        ok = session.run();
        jobs_failed = session.jobs_failed();
        core.ui().SetModalPump(nullptr);
    }
    core.ui().CloseUtility();
    ReleaseNetRender();
    core.SetMessageListener(nullptr);
    for (const std::wstring& dialog : core.ui().host_dialogs()) {
        std::printf("host dialog \"%s\" shown\n", WideToUtf8(dialog).c_str());
    }
    for (const std::wstring& page : core.ui().opened()) {
        std::printf("opened %s\n", WideToUtf8(page).c_str());
    }
    if (!ok) {
        return 2;
    }
    // Each preview the panel showed is named; the last one is kept when asked.
    const DisplayedImage* shown = nullptr;
    for (const DisplayedImage& image : core.displayed()) {
        std::printf("template \"%s\" shown\n", WideToUtf8(image.title).c_str());
        shown = image.error.empty() ? &image : shown;
    }
    StagedOutputs outputs;
    if (!cmd.template_path.empty() && shown == nullptr) {
        std::fprintf(stderr, "vellumar: --template: the panel showed no UV template\n");
        return 2;
    }
    bool staged = cmd.template_path.empty() || outputs.stage(cmd.template_path, shown->png);
    staged = staged && (cmd.save.empty() || stage_save(core, cmd.save, outputs));
    staged = staged && (cmd.export_path.empty() ||
                        stage_export(core, cmd.export_path, s.channel, 0, outputs));
    if (!staged || !outputs.commit()) {
        return 2;
    }
    return jobs_failed ? 1 : 0;
}
