// The Baking, Shells, Options, About and Network Rendering rollouts: their
// controls as they open, their tooltips, and the commands that only set a
// value or act on the unwrap group list.
#include "bake/bake_run.h"
#include "host/custcont.h"
#include "host/interface.h"
#include "host/script.h"
#include "host/text.h"
#include "netrender/net_render.h"
#include "plugin/control_ids.h"
#include "plugin/version.h"
#include "ui/bake_elements_dialog.h"
#include "ui/controls.h"
#include "ui/rollout_frame.h"
#include "ui/rollouts.h"
#include "ui/selection_sets.h"
#include "ui/tooltips.h"
#include "ui/vellumar_utility.h"

namespace {

void open_page(HWND r, const std::wstring& address) {
    ShellExecuteW(r, L"open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

// The folder the user chooses in the system's folder browser; empty when
// cancelled.
std::string choose_folder(HWND owner, const wchar_t* title) {
    wchar_t name[MAX_PATH] = L"";
    BROWSEINFOW info;
    info.hwndOwner = owner;
    info.pszDisplayName = name;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (item == nullptr) {
        return {};
    }
    wchar_t path[MAX_PATH] = L"";
    const BOOL got = SHGetPathFromIDListW(item, path);
    CoTaskMemFree(item);
    return got != 0 ? WideToUtf8(path) : std::string();
}

void target_material_changed(VellumarUtility& u, HWND r) {
    const LRESULT at = SendDlgItemMessageW(r, IDC_TARGET_MATERIAL, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) {
        return;
    }
    const auto index = static_cast<std::size_t>(
        SendDlgItemMessageW(r, IDC_TARGET_MATERIAL, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
    const std::vector<ClassDesc*>& classes = u.material_classes();
    if (index < classes.size()) {
        TargetMaterialChanged(classes[index], u.slot_names());
    }
}

void init_baking(VellumarUtility& u, HWND r) {
    const UnwrapSettings& s = settings();
    SetupSpinner(r, IDC_OVERLAP_SPIN, IDC_OVERLAP_EDIT, 0, 999, 2);
    SetChecked(r, IDC_SINGLE_PASS, true);
    SendDlgItemMessageW(r, IDC_TARGET_MATERIAL, CB_RESETCONTENT, 0, 0);
    const std::vector<ClassDesc*>& classes = u.material_classes();
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const std::wstring name = classes[i]->ClassName();
        const auto at = static_cast<WPARAM>(SendDlgItemMessageW(
            r, IDC_TARGET_MATERIAL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str())));
        SendDlgItemMessageW(r, IDC_TARGET_MATERIAL, CB_SETITEMDATA, at, static_cast<LPARAM>(i));
        if (WideToUtf8(name) == s.target_material) {
            SendDlgItemMessageW(r, IDC_TARGET_MATERIAL, CB_SETCURSEL, at, 0);
        }
    }
    SetChecked(r, IDC_SELF_ILLUMINATION, false);
    SetChecked(r, IDC_ADD_SHELL, true);
    SetChecked(r, IDC_GROUP_NAME_TO_TEXTURES, true);
    SetChecked(r, IDC_SINGLE_FRAME, !s.bakerange);
    SetChecked(r, IDC_FRAME_RANGE, s.bakerange);
    SetupSpinner(r, IDC_FROM_SPIN, IDC_FROM_EDIT, -99999, 99999, s.bakerangefrom);
    SetupSpinner(r, IDC_TO_SPIN, IDC_TO_EDIT, -99999, 99999, s.bakerangeto);

    AddTooltip(r, {IDC_MAP_PATH_LABEL, IDC_MAP_PATH, IDC_MAP_PATH_BROWSE},
               "Default path where the baked textures are saved");
    AddTooltip(r, {IDC_OVERLAP_LABEL, IDC_OVERLAP_EDIT, IDC_OVERLAP_SPIN},
               "Padding of the rendered textures beyond the mesh border. Values above 0 avoid "
               "visible black seams. Values above half of the gutter padding setting are not "
               "recommended");
    AddTooltip(r, {IDC_BAKE_ELEMENTS}, "Element that is rendered into the texture");
    AddTooltip(r, {IDC_TARGET_MATERIAL}, "Determines the material used for the baked texture.");
    AddTooltip(r, {IDC_RENDERER_SETTINGS}, "Opens the 3ds Max Render Scene Settings dialog");
    AddTooltip(r, {IDC_ADD_SHELL},
               "Adds a shell for the baked material.\nThe original material is kept in the first "
               "map slot.\nThe baked texture is stored in the second slot.");
    AddTooltip(r, {IDC_OVERWRITE},
               "Assigns the baked texture, discarding the previous material assignment");
    AddTooltip(r, {IDC_BAKE_GROUP}, "Bakes the texture map for the selected objects");
    AddTooltip(r, {IDC_SELF_ILLUMINATION}, "Makes the baked materials self illuminated");
    AddTooltip(r, {IDC_SINGLE_PASS},
               "Single pass bakes all objects at once. If this is not selected all objects are "
               "rendered separately");
    AddTooltip(r, {IDC_GROUP_NAME_TO_TEXTURES},
               "Add group name to rendered textures to prevent accidental overwrites when "
               "multiple groups are rendered with the same settings");
    u.UpdateCommandStates();
}

void baking_command(VellumarUtility& u, HWND r, int id, WORD code) {
    switch (id) {
    case IDC_MAP_PATH_BROWSE:
        if (const std::string path = choose_folder(r, L"Baked Map Path"); !path.empty()) {
            settings().outpath = path;
            RebaseFiles();
            u.UpdateUIFromSettings();
        }
        break;
    case IDC_RENDERER_SETTINGS:
        ExecuteMAXScriptScript(L"max render scene", 1);
        break;
    case IDC_BAKE_ELEMENTS:
        ChooseBakeElements(u);
        break;
    case IDC_TARGET_MATERIAL:
        if (code == CBN_SELCHANGE) {
            target_material_changed(u, r);
        }
        break;
    case IDC_BAKE_GROUP:
        if (const auto key = u.GetSelectedGroupKey()) {
            Bake(*key, u.material_assigner());
            u.UpdateUIFromSettings();
        }
        break;
    case IDC_ADD_SHELL:
    case IDC_OVERWRITE:
        settings().create_shell = id == IDC_ADD_SHELL;
        break;
    case IDC_SINGLE_FRAME:
    case IDC_FRAME_RANGE:
        settings().bakerange = id == IDC_FRAME_RANGE;
        break;
    case IDC_UNWRAP_GROUP:
        if (code == CBN_SELCHANGE) {
            u.UpdateCommandStates();
        }
        break;
    case IDC_REMOVE_GROUP:
        u.RemoveGroup();
        break;
    default:
        break;
    }
}

void init_shells(VellumarUtility& u, HWND r) {
    SetChecked(r, IDC_KEEP_BAKED, true);
    SetChecked(r, IDC_KEEP_SOURCE, false);
    AddTooltip(r, {IDC_VIEWPORT_GROUP, IDC_VIEWPORT_ORIGINAL, IDC_VIEWPORT_BAKED},
               "Select the original materials or the baked materials to be visible in the "
               "viewports");
    AddTooltip(r, {IDC_RENDER_GROUP, IDC_RENDER_ORIGINAL, IDC_RENDER_BAKED},
               "Select the original materials or the baked materials to be used during rendering");
    AddTooltip(r, {IDC_CLEAR_SHELLS}, "Removes the shell materials from the selected objects");
    AddTooltip(r, {IDC_KEEP_BAKED},
               "The baked texture is kept, the original material is discarded");
    AddTooltip(r, {IDC_KEEP_SOURCE},
               "The original material is kept, the baked texture is discarded");
    u.UpdateCommandStates();
}

void init_options(VellumarUtility& u, HWND r) {
    SetChecked(r, IDC_SINGLE_SET, false);
    AddTooltip(r, {IDC_CREATE_SELECTION_SETS},
               "Creates selection sets based on the currently existing unwrap groups");
    AddTooltip(r, {IDC_SAVE_SETTINGS}, "Saves the parameter settings to a file");
    AddTooltip(r, {IDC_LOAD_SETTINGS}, "Loads the parameter settings from a file");
    AddTooltip(r, {IDC_LOAD_DEFAULT}, "Reset all parameters to their default values");
    u.UpdateCommandStates();
}

void init_about(VellumarUtility& u, HWND r) {
    SetDlgItemTextW(r, IDC_ABOUT_TEXT, (ProductName() + L" " + VersionText()).c_str());
    AddTooltip(r, {IDC_LOGO}, "Click here to visit the product homepage");
    u.UpdateCommandStates();
}

void about_command(VellumarUtility&, HWND r, int id, WORD) {
    if (id == IDC_LOGO) {
        open_page(r, HomePageAddress());
    } else if (id == IDC_HELP) {
        open_page(r, HelpPageAddress());
    }
}

void init_network(VellumarUtility& u, HWND r) {
    SetChecked(r, IDC_NETRENDER, false);
    SetDlgItemTextW(r, IDC_NET_STATUS, L"--");
    AddTooltip(r, {IDC_NETRENDER}, "Enable Network rendering mode.");
    AddTooltip(r, {IDC_MANAGER, IDC_MANAGER_LABEL},
               "Network manager name or IP to connect in order to monitor network baking "
               "progress.");
    AddTooltip(r, {IDC_PORT, IDC_PORT_LABEL}, "Network manager port to connect to.");
    AddTooltip(r, {IDC_NETPATH, IDC_NETPATH_LABEL},
               "Temporary network folder, where rendered images will be dumped. Note: each time "
               "you submit a job a subfolder with a unique name will be internally appended.");
    AddTooltip(r, {IDC_NET_STATUS, IDC_NET_STATUS_LABEL},
               "Current state of the last submitted network render job.");
    AddTooltip(r, {IDC_MANUAL_MERGE},
               "Use this tool to browse to the folder containing your network rendered images, "
               "and merge them into the final Vellumar baked map. ");
    AddTooltip(r, {IDC_NETPATH_BROWSE},
               "Select a temporary network folder accessible to all render servers. Note: this "
               "must be a network folder, not local. ");
    u.UpdateCommandStates();
}

// The state of the last submitted job, as the job monitor last saw it.
std::wstring status_text() {
    const std::vector<MonitoredJob> jobs = netRender().Jobs();
    if (jobs.empty()) {
        return L"--";
    }
    const MonitoredJob& job = jobs.back();
    if (job.processed) {
        return job.merged ? L"done" : L"failed";
    }
    switch (job.state) {
    case JOB_STATE_WAITING:
        return L"waiting";
    case JOB_STATE_BUSY:
        return L"rendering";
    case JOB_STATE_COMPLETE:
        return L"merging";
    case JOB_STATE_ERROR:
        return L"failed";
    case JOB_STATE_SUSPENDED:
        return L"suspended";
    default:
        return L"waiting";
    }
}

void manual_merge(HWND r) {
    std::string folder = choose_folder(r, L"Network job folder to merge");
    if (folder.empty()) {
        return;
    }
    if (folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
    }
    const UnwrapSettings& s = settings();
    if (MergeJob(s.netpath, folder)) {
        report("Vellumar Netrender: the job folder " + folder +
                   " has been merged. Resulting image has been saved to: " + s.outpath,
               0);
    }
}

void network_command(VellumarUtility& u, HWND r, int id, WORD) {
    if (id == IDC_NETPATH_BROWSE) {
        if (const std::string path = choose_folder(r, L"Network output folder"); !path.empty()) {
            settings().netpath = path;
            u.UpdateUIFromSettings();
        }
    } else if (id == IDC_MANUAL_MERGE) {
        manual_merge(r);
    }
}

void shells_command(VellumarUtility&, HWND r, int id, WORD) {
    std::vector<INode*> selected;
    Interface* ip = GetCOREInterface();
    for (int i = 0; i < ip->GetSelNodeCount(); ++i) {
        selected.push_back(ip->GetSelNode(i));
    }
    switch (id) {
    case IDC_CLEAR_SHELLS:
        ClearShells(IsChecked(r, IDC_KEEP_BAKED));
        break;
    case IDC_VIEWPORT_ORIGINAL:
    case IDC_VIEWPORT_BAKED:
        SetShellIndex(selected, kShellViewport, id == IDC_VIEWPORT_BAKED ? 1 : 0);
        break;
    case IDC_RENDER_ORIGINAL:
    case IDC_RENDER_BAKED:
        SetShellIndex(selected, kShellRender, id == IDC_RENDER_BAKED ? 1 : 0);
        break;
    default:
        break;
    }
}

// The preset file the user chooses in the system's dialog; empty when
// cancelled.
std::string choose_preset(bool save) {
    wchar_t path[260] = L"";
    OPENFILENAMEW ofn;
    ofn.hwndOwner = GetCOREInterface()->GetMAXHWnd();
    ofn.lpstrFilter = L"*.vl\0*.vl\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = 260;
    ofn.lpstrTitle = save ? L"Save preset" : L"Load preset";
    ofn.lpstrDefExt = L"vl";
    ofn.Flags =
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | (save ? 0 : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    return chosen != 0 ? WideToUtf8(path) : std::string();
}

void options_command(VellumarUtility& u, HWND r, int id, WORD) {
    switch (id) {
    case IDC_CREATE_SELECTION_SETS:
        CreateSelectionSets(IsChecked(r, IDC_SINGLE_SET));
        break;
    case IDC_SAVE_SETTINGS:
        if (const std::string path = choose_preset(true); !path.empty()) {
            settings().save(path);
        }
        break;
    case IDC_LOAD_SETTINGS:
        if (const std::string path = choose_preset(false); !path.empty()) {
            // A preset that cannot be read leaves the settings as they were
            // (its report stays): only a load that goes through resets.
            const UnwrapSettings before = settings();
            settings().reset();
            if (!settings().load(path)) {
                const std::string why = settings().last_message;
                settings() = before;
                settings().last_message = why;
            }
            u.UpdateUIFromSettings();
        }
        break;
    case IDC_SAVE_DEFAULT:
        settings().save("");
        break;
    case IDC_LOAD_DEFAULT:
        settings().reset();
        settings().load("");
        u.UpdateUIFromSettings();
        break;
    default:
        break;
    }
}

const RolloutBehaviour kBaking{init_baking, baking_command, nullptr, true, true};
// The shell switches are radio buttons with nothing to drag.
const RolloutBehaviour kShells{init_shells, shells_command, nullptr, false, false};
const RolloutBehaviour kOptions{init_options, options_command, nullptr, false, true};
const RolloutBehaviour kAbout{init_about, about_command, nullptr, false, true};
const RolloutBehaviour kNetwork{init_network, network_command, nullptr, false, true};

} // namespace

INT_PTR BakingProc(HWND r, UINT msg, WPARAM w, LPARAM l) {
    return RolloutFrame(kBaking, r, msg, w, l);
}
INT_PTR ShellsProc(HWND r, UINT msg, WPARAM w, LPARAM l) {
    return RolloutFrame(kShells, r, msg, w, l);
}
INT_PTR OptionsProc(HWND r, UINT msg, WPARAM w, LPARAM l) {
    return RolloutFrame(kOptions, r, msg, w, l);
}
INT_PTR AboutProc(HWND r, UINT msg, WPARAM w, LPARAM l) {
    return RolloutFrame(kAbout, r, msg, w, l);
}
INT_PTR NetworkRenderingProc(HWND r, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_NET_STATUS) {
        SetDlgItemTextW(r, IDC_NET_STATUS, status_text().c_str());
        return 1;
    }
    return RolloutFrame(kNetwork, r, msg, w, l);
}
