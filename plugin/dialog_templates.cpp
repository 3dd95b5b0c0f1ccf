#include "plugin/resources.h"

#include "host/windows.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

using K = ControlKind;

// Collects one template a control per line and sizes it from its controls,
// so moving a row never leaves a control outside its dialog.
class Layout {
  public:
    explicit Layout(int id, std::wstring caption = {}) {
        t_.id = id;
        t_.caption = std::move(caption);
    }

    void c(int id, K kind, std::wstring text, int x, int y, int w, int h, DWORD style = 0) {
        t_.controls.push_back({id, kind, std::move(text), x, y, w, h, style, 0});
    }
    void picture(int id, int image, int x, int y, int w, int h, DWORD style = 0) {
        t_.controls.push_back({id, K::Picture, {}, x, y, w, h, style, image});
    }

    // Rollouts share the panel's width whatever their controls.
    DialogTemplate rollout() {
        t_.width = kRolloutWidth;
        t_.height = extent(false) + kMargin;
        return std::move(t_);
    }
    DialogTemplate modal() {
        t_.width = extent(true) + kMargin;
        t_.height = extent(false) + kMargin;
        return std::move(t_);
    }

  private:
    static constexpr int kMargin = 6;

    int extent(bool horizontal) const {
        int far = 0;
        for (const ControlTemplate& ct : t_.controls) {
            // A drop-down's height is its opened list, which may hang past the
            // dialog's edge as it does in the window system.
            if (!horizontal && ct.kind == K::DropDownList) {
                continue;
            }
            far = std::max(far, horizontal ? ct.x + ct.width : ct.y + ct.height);
        }
        return far;
    }

    DialogTemplate t_;
};

DialogTemplate UnwrapParameters() {
    Layout d(IDD_UNWRAP_PARAMETERS);
    // Five 64-px mode buttons cannot share one 162-px row, and the images are
    // drawn scaled, so they shrink to squares instead of wrapping.
    d.c(1089, K::CustButton, L"", 4, 6, 30, 30);
    d.c(1090, K::CustButton, L"", 35, 6, 30, 30);
    d.c(1152, K::CustButton, L"", 66, 6, 30, 30);
    d.c(1153, K::CustButton, L"", 97, 6, 30, 30);
    d.c(1154, K::CustButton, L"", 128, 6, 30, 30);
    // The value column sits left enough for the aspect lock to fit on its row
    // while every edit stays aligned.
    d.c(1030, K::Static, L"Target Channel:", 6, 44, 82, 16);
    d.c(1129, K::CustEdit, L"", 90, 44, 40, 16);
    d.c(1136, K::Spinner, L"", 130, 44, 10, 16);
    d.c(1027, K::Static, L"Texture Stretch:", 6, 66, 82, 16);
    d.c(1128, K::CustEdit, L"", 90, 66, 40, 16);
    d.c(1135, K::Spinner, L"", 130, 66, 10, 16);
    d.c(1035, K::Static, L"Gutter Padding:", 6, 88, 82, 16);
    d.c(1131, K::CustEdit, L"", 90, 88, 40, 16);
    d.c(1137, K::Spinner, L"", 130, 88, 10, 16);
    d.c(1037, K::Static, L"Texture Width:", 6, 110, 82, 16);
    d.c(1132, K::CustEdit, L"", 90, 110, 40, 16);
    d.c(1138, K::Spinner, L"", 130, 110, 10, 16);
    d.c(1038, K::Static, L"Texture Height:", 6, 132, 82, 16);
    d.c(1134, K::CustEdit, L"", 90, 132, 40, 16);
    d.c(1140, K::Spinner, L"", 130, 132, 10, 16);
    d.c(1029, K::Static, L"Aspect Ratio:", 6, 154, 82, 16);
    d.c(1024, K::CustEdit, L"", 90, 154, 40, 16);
    d.c(1026, K::Spinner, L"", 130, 154, 10, 16);
    d.c(1032, K::CustButton, L"", 142, 154, 16, 15);
    d.c(1001, K::CheckBox, L"High Quality", 6, 178, 150, 16);
    d.c(1063, K::CheckBox, L"Show Unwrap Preview", 6, 198, 150, 16);
    d.c(-1, K::Static, L"Unwrap Group Name", 6, 222, 150, 14);
    d.c(1102, K::Edit, L"", 6, 238, 150, 16);
    d.c(1002, K::PushButton, L"Unwrap", 6, 262, 150, 24);
    return d.rollout();
}

DialogTemplate AdvancedUnwrap() {
    Layout d(IDD_ADVANCED_UNWRAP);
    d.c(-1, K::GroupBox, L"Unwrapping mode", 4, 4, 154, 124);
    d.c(1053, K::CheckBox, L"Keep Seams", 10, 20, 84, 16);
    d.c(1080, K::CustEdit, L"", 98, 20, 44, 16);
    d.c(1081, K::Spinner, L"", 142, 20, 10, 16);
    d.c(1066, K::CheckBox, L"Cut Grooves", 10, 42, 84, 16);
    d.c(1067, K::CustEdit, L"", 98, 42, 44, 16);
    d.c(1068, K::Spinner, L"", 142, 42, 10, 16);
    d.c(1085, K::CheckBox, L"Cut Ridges", 10, 64, 84, 16);
    d.c(1082, K::CustEdit, L"", 98, 64, 44, 16);
    d.c(1083, K::Spinner, L"", 142, 64, 10, 16);
    d.c(-1, K::Static, L"Unwrap As:", 10, 88, 142, 14);
    d.c(1055, K::RadioButton, L"Polygons", 10, 106, 68, 16, WS_GROUP);
    d.c(1056, K::RadioButton, L"Triangles", 82, 106, 70, 16);
    d.c(-1, K::GroupBox, L"Projection unwrap", 4, 134, 154, 108, WS_GROUP);
    d.c(1155, K::CustButton, L"Pick Camera", 10, 150, 142, 20);
    d.c(1161, K::Static, L"View Angle", 10, 176, 84, 16);
    d.c(1158, K::CustEdit, L"", 98, 176, 44, 16);
    d.c(1159, K::Spinner, L"", 142, 176, 10, 16);
    d.c(1162, K::Static, L"Tolerance", 10, 198, 84, 16);
    d.c(1156, K::CustEdit, L"", 98, 198, 44, 16);
    d.c(1157, K::Spinner, L"", 142, 198, 10, 16);
    d.c(1160, K::CheckBox, L"Orthographic", 10, 220, 142, 16, WS_GROUP);
    d.c(-1, K::GroupBox, L"Unwrap to multiple maps", 4, 248, 154, 104, WS_GROUP);
    d.c(1058, K::RadioButton, L"Fixed Number", 10, 264, 142, 16, WS_GROUP);
    d.c(1059, K::RadioButton, L"Selection Sets", 10, 282, 142, 16);
    d.c(1072, K::Static, L"Map Count", 10, 304, 84, 16, WS_GROUP);
    d.c(1070, K::CustEdit, L"", 98, 304, 44, 16, WS_GROUP);
    d.c(1071, K::Spinner, L"", 142, 304, 10, 16);
    d.c(1073, K::PushButton, L"Select Sets...", 10, 326, 142, 20);
    return d.rollout();
}

DialogTemplate ModifierAbout() {
    Layout d(IDD_MODIFIER_ABOUT);
    d.picture(1011, IDB_LOGO, 6, 6, 150, 40, SS_NOTIFY);
    d.c(1141, K::Static, L"", 6, 52, 150, 16);
    return d.rollout();
}

DialogTemplate ChooseBakeElements() {
    Layout d(IDD_CHOOSE_BAKE_ELEMENTS, L"Choose Bake Elements");
    d.c(1106, K::ListView, L"", 6, 6, 408, 130, LVS_SHOWSELALWAYS);
    d.c(1107, K::PushButton, L"Add", 6, 142, 64, 20);
    d.c(1108, K::PushButton, L"Remove", 74, 142, 64, 20);
    d.c(-1, K::GroupBox, L"Selected Element Common Settings", 6, 168, 208, 150);
    d.c(-1, K::Static, L"File name", 12, 184, 60, 16);
    d.c(1111, K::Edit, L"", 74, 184, 110, 16);
    d.c(1112, K::PushButton, L"...", 188, 184, 20, 16);
    d.c(-1, K::Static, L"Map slot", 12, 206, 60, 16);
    d.c(1110, K::DropDownList, L"", 74, 206, 134, 120);
    d.c(-1, K::Static, L"Background", 12, 230, 60, 16);
    d.c(1126, K::ColorSwatch, L"", 74, 230, 40, 16);
    d.c(-1, K::Static, L"Width", 12, 252, 60, 16);
    d.c(1114, K::CustEdit, L"", 74, 252, 44, 16);
    d.c(1116, K::Spinner, L"", 118, 252, 10, 16);
    d.c(-1, K::Static, L"Height", 12, 274, 60, 16);
    d.c(1118, K::CustEdit, L"", 74, 274, 44, 16);
    d.c(1121, K::Spinner, L"", 118, 274, 10, 16);
    d.c(-1, K::Static, L"Aspect Lock", 12, 296, 60, 16);
    d.c(1149, K::CustEdit, L"", 74, 296, 44, 16);
    d.c(1150, K::Spinner, L"", 118, 296, 10, 16);
    d.c(1151, K::CustButton, L"", 132, 296, 16, 15);
    // Left empty: the chosen element's own parameter editors go here at run
    // time, and differ from one element type to the next.
    d.c(-1, K::GroupBox, L"Selected Element Parameters", 220, 168, 194, 150);
    d.c(1105, K::PushButton, L"Close", 350, 324, 64, 20);
    return d.modal();
}

DialogTemplate Baking() {
    Layout d(IDD_BAKING);
    d.c(1040, K::Static, L"Baked Map Path:", 6, 6, 150, 14);
    d.c(1019, K::Edit, L"", 6, 22, 126, 16, ES_READONLY);
    d.c(1025, K::PushButton, L"...", 136, 22, 20, 16);
    d.c(1014, K::PushButton, L"Renderer Settings", 6, 44, 150, 20);
    d.c(1041, K::Static, L"Overlap:", 6, 70, 94, 16);
    d.c(1016, K::CustEdit, L"", 102, 70, 44, 16);
    d.c(1017, K::Spinner, L"", 146, 70, 10, 16);
    d.c(1079, K::CheckBox, L"Single Pass Baking", 6, 92, 150, 16);
    d.c(1042, K::Static, L"Target Material: ", 6, 114, 150, 14);
    d.c(1091, K::DropDownList, L"", 6, 130, 150, 120);
    d.c(1086, K::CheckBox, L"Make self-illuminating", 6, 154, 150, 16);
    d.c(1020, K::RadioButton, L"Add Shell", 6, 174, 72, 16, WS_GROUP);
    d.c(1021, K::RadioButton, L"Overwrite", 80, 174, 76, 16);
    d.c(1012, K::PushButton, L"Choose Bake Elements", 6, 196, 150, 20, WS_GROUP);
    d.c(-1, K::Static, L"Choose Unwrap Group", 6, 224, 150, 14);
    d.c(1101, K::DropDownList, L"", 6, 240, 150, 120);
    d.c(1163, K::CheckBox, L"Add group name to textures", 6, 264, 150, 16);
    d.c(1144, K::RadioButton, L"Single", 6, 286, 72, 16, WS_GROUP);
    d.c(1145, K::RadioButton, L"Range", 80, 286, 76, 16);
    d.c(1146, K::CustEdit, L"", 6, 306, 44, 16, WS_GROUP);
    d.c(1147, K::Spinner, L"", 50, 306, 10, 16);
    d.c(-1, K::Static, L"to", 74, 306, 14, 16);
    d.c(1148, K::CustEdit, L"", 102, 306, 44, 16);
    d.c(1119, K::Spinner, L"", 146, 306, 10, 16);
    d.c(1013, K::PushButton, L"Bake Group", 6, 330, 150, 20);
    d.c(1098, K::PushButton, L"Remove Group", 6, 354, 150, 20);
    return d.rollout();
}

DialogTemplate Options() {
    Layout d(IDD_OPTIONS);
    d.c(1096, K::PushButton, L"Create Selection Sets", 6, 6, 150, 20);
    d.c(1084, K::CheckBox, L"Single set for multiple maps", 6, 30, 150, 16);
    d.c(1004, K::PushButton, L"Save Settings", 6, 54, 150, 20);
    d.c(1003, K::PushButton, L"Load Settings", 6, 78, 150, 20);
    d.c(1097, K::PushButton, L"Save Default", 6, 106, 150, 20);
    d.c(1078, K::PushButton, L"Load Default", 6, 130, 150, 20);
    return d.rollout();
}

DialogTemplate PickSelectionSets() {
    Layout d(IDD_PICK_SELECTION_SETS, L"Pick selection sets");
    d.c(1074, K::ListBox, L"", 6, 6, 208, 200, LBS_SORT | LBS_EXTENDEDSEL | WS_VSCROLL);
    d.c(1075, K::PushButton, L"All", 6, 212, 64, 20);
    d.c(1076, K::PushButton, L"None", 78, 212, 64, 20);
    d.c(1077, K::PushButton, L"Invert", 150, 212, 64, 20);
    d.c(IDOK, K::PushButton, L"OK", 82, 238, 64, 20);
    d.c(IDCANCEL, K::PushButton, L"Cancel", 150, 238, 64, 20);
    return d.modal();
}

DialogTemplate NetworkRendering() {
    Layout d(IDD_NETWORK_RENDERING);
    d.c(-1, K::GroupBox, L"Network Rendering", 4, 4, 154, 180);
    d.c(1062, K::CheckBox, L"Network render", 10, 20, 142, 16);
    d.c(1057, K::Static, L"Network Manager:", 10, 42, 142, 14);
    d.c(1034, K::Edit, L"", 10, 56, 142, 16);
    d.c(1061, K::Static, L"Port:", 10, 78, 40, 16);
    d.c(1036, K::Edit, L"", 54, 78, 60, 16, ES_NUMBER);
    d.c(1052, K::Static, L"Network output folder:", 10, 100, 142, 14);
    d.c(1028, K::Edit, L"", 10, 114, 118, 16, ES_READONLY);
    d.c(1031, K::PushButton, L"...", 132, 114, 20, 16);
    d.c(1065, K::Static, L"Netrender Status:", 10, 136, 90, 16);
    d.c(1064, K::Static, L"--", 102, 136, 50, 16);
    d.c(1018, K::PushButton, L"Manual Merge", 10, 158, 142, 20);
    return d.rollout();
}

DialogTemplate Info() {
    Layout d(IDD_INFO);
    d.c(-1, K::Static, L"This object is included in the following Vellumar sets:", 6, 6, 150, 26);
    d.c(1104, K::Edit, L"", 6, 36, 150, 120, ES_MULTILINE | ES_READONLY | WS_VSCROLL);
    return d.rollout();
}

DialogTemplate AddElements() {
    Layout d(IDD_ADD_ELEMENTS, L"Add");
    d.c(1124, K::ListView, L"", 6, 6, 208, 200);
    d.c(1122, K::PushButton, L"Add", 82, 212, 64, 20);
    d.c(1123, K::PushButton, L"Cancel", 150, 212, 64, 20);
    return d.modal();
}

DialogTemplate Shells() {
    Layout d(IDD_SHELLS);
    d.c(-1, K::GroupBox, L"Shell Switcher", 4, 4, 154, 78);
    d.c(1048, K::GroupBox, L"Viewport", 10, 20, 69, 56);
    d.c(1044, K::RadioButton, L"Original", 16, 36, 57, 16, WS_GROUP);
    d.c(1045, K::RadioButton, L"Baked", 16, 54, 57, 16);
    d.c(1049, K::GroupBox, L"Render", 83, 20, 69, 56, WS_GROUP);
    d.c(1046, K::RadioButton, L"Original", 89, 36, 57, 16, WS_GROUP);
    d.c(1047, K::RadioButton, L"Baked", 89, 54, 57, 16);
    d.c(-1, K::GroupBox, L"Shell Resolver", 4, 88, 154, 82, WS_GROUP);
    d.c(1022, K::RadioButton, L"Keep Baked", 10, 104, 142, 16, WS_GROUP);
    d.c(1023, K::RadioButton, L"Keep Source", 10, 122, 142, 16);
    d.c(1015, K::PushButton, L"Clear Shells", 10, 144, 142, 20, WS_GROUP);
    return d.rollout();
}

DialogTemplate About() {
    Layout d(IDD_ABOUT);
    d.picture(1011, IDB_LOGO, 6, 6, 150, 40, SS_NOTIFY);
    d.c(1051, K::Static, L"", 6, 52, 150, 16);
    d.c(1100, K::PushButton, L"Help", 46, 74, 70, 20);
    return d.rollout();
}

} // namespace

std::vector<DialogTemplate> VellumarDialogTemplates() {
    std::vector<DialogTemplate> all;
    all.push_back(UnwrapParameters());
    all.push_back(AdvancedUnwrap());
    all.push_back(ModifierAbout());
    all.push_back(ChooseBakeElements());
    all.push_back(Baking());
    all.push_back(Options());
    all.push_back(PickSelectionSets());
    all.push_back(NetworkRendering());
    all.push_back(Info());
    all.push_back(AddElements());
    all.push_back(Shells());
    all.push_back(About());
    return all;
}
