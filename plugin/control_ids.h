// Control ids of the dialog templates.
#pragma once

// Unwrap Parameters.
inline constexpr int IDC_ORGANIC = 1089;
inline constexpr int IDC_HARD_SURFACE = 1090;
inline constexpr int IDC_UV_PACK = 1152;
inline constexpr int IDC_UV_COPY = 1153;
inline constexpr int IDC_PROJECTION = 1154;
inline constexpr int IDC_CHANNEL_LABEL = 1030;
inline constexpr int IDC_CHANNEL_EDIT = 1129;
inline constexpr int IDC_CHANNEL_SPIN = 1136;
inline constexpr int IDC_STRETCH_LABEL = 1027;
inline constexpr int IDC_STRETCH_EDIT = 1128;
inline constexpr int IDC_STRETCH_SPIN = 1135;
inline constexpr int IDC_GUTTER_LABEL = 1035;
inline constexpr int IDC_GUTTER_EDIT = 1131;
inline constexpr int IDC_GUTTER_SPIN = 1137;
inline constexpr int IDC_WIDTH_LABEL = 1037;
inline constexpr int IDC_WIDTH_EDIT = 1132;
inline constexpr int IDC_WIDTH_SPIN = 1138;
inline constexpr int IDC_HEIGHT_LABEL = 1038;
inline constexpr int IDC_HEIGHT_EDIT = 1134;
inline constexpr int IDC_HEIGHT_SPIN = 1140;
inline constexpr int IDC_RATIO_LABEL = 1029;
inline constexpr int IDC_RATIO_EDIT = 1024;
inline constexpr int IDC_RATIO_SPIN = 1026;
inline constexpr int IDC_ASPECT_LOCK = 1032;
inline constexpr int IDC_HIGH_QUALITY = 1001;
inline constexpr int IDC_PREVIEW = 1063;
inline constexpr int IDC_GROUP_NAME = 1102;
inline constexpr int IDC_UNWRAP = 1002;

// Advanced Unwrap Settings.
inline constexpr int IDC_KEEP_SEAMS = 1053;
inline constexpr int IDC_SOURCE_EDIT = 1080;
inline constexpr int IDC_SOURCE_SPIN = 1081;
inline constexpr int IDC_CUT_GROOVES = 1066;
inline constexpr int IDC_GROOVE_EDIT = 1067;
inline constexpr int IDC_GROOVE_SPIN = 1068;
inline constexpr int IDC_CUT_RIDGES = 1085;
inline constexpr int IDC_RIDGE_EDIT = 1082;
inline constexpr int IDC_RIDGE_SPIN = 1083;
inline constexpr int IDC_POLYGONS = 1055;
inline constexpr int IDC_TRIANGLES = 1056;
inline constexpr int IDC_PICK_CAMERA = 1155;
inline constexpr int IDC_VIEW_ANGLE_LABEL = 1161;
inline constexpr int IDC_VIEW_ANGLE_EDIT = 1158;
inline constexpr int IDC_VIEW_ANGLE_SPIN = 1159;
inline constexpr int IDC_TOLERANCE_LABEL = 1162;
inline constexpr int IDC_TOLERANCE_EDIT = 1156;
inline constexpr int IDC_TOLERANCE_SPIN = 1157;
inline constexpr int IDC_ORTHOGRAPHIC = 1160;
inline constexpr int IDC_FIXED_NUMBER = 1058;
inline constexpr int IDC_SELECTION_SETS = 1059;
inline constexpr int IDC_MAP_COUNT_LABEL = 1072;
inline constexpr int IDC_MAP_COUNT_EDIT = 1070;
inline constexpr int IDC_MAP_COUNT_SPIN = 1071;
inline constexpr int IDC_SELECT_SETS = 1073;

// Baking.
inline constexpr int IDC_MAP_PATH_LABEL = 1040;
inline constexpr int IDC_MAP_PATH = 1019;
inline constexpr int IDC_MAP_PATH_BROWSE = 1025;
inline constexpr int IDC_RENDERER_SETTINGS = 1014;
inline constexpr int IDC_OVERLAP_LABEL = 1041;
inline constexpr int IDC_OVERLAP_EDIT = 1016;
inline constexpr int IDC_OVERLAP_SPIN = 1017;
inline constexpr int IDC_SINGLE_PASS = 1079;
inline constexpr int IDC_TARGET_MATERIAL = 1091;
inline constexpr int IDC_SELF_ILLUMINATION = 1086;
inline constexpr int IDC_ADD_SHELL = 1020;
inline constexpr int IDC_OVERWRITE = 1021;
inline constexpr int IDC_BAKE_ELEMENTS = 1012;
inline constexpr int IDC_UNWRAP_GROUP = 1101;
inline constexpr int IDC_GROUP_NAME_TO_TEXTURES = 1163;
inline constexpr int IDC_SINGLE_FRAME = 1144;
inline constexpr int IDC_FRAME_RANGE = 1145;
inline constexpr int IDC_FROM_EDIT = 1146;
inline constexpr int IDC_FROM_SPIN = 1147;
inline constexpr int IDC_TO_EDIT = 1148;
inline constexpr int IDC_TO_SPIN = 1119;
inline constexpr int IDC_BAKE_GROUP = 1013;
inline constexpr int IDC_REMOVE_GROUP = 1098;

// Shells.
inline constexpr int IDC_VIEWPORT_GROUP = 1048;
inline constexpr int IDC_VIEWPORT_ORIGINAL = 1044;
inline constexpr int IDC_VIEWPORT_BAKED = 1045;
inline constexpr int IDC_RENDER_GROUP = 1049;
inline constexpr int IDC_RENDER_ORIGINAL = 1046;
inline constexpr int IDC_RENDER_BAKED = 1047;
inline constexpr int IDC_KEEP_BAKED = 1022;
inline constexpr int IDC_KEEP_SOURCE = 1023;
inline constexpr int IDC_CLEAR_SHELLS = 1015;

// Options.
inline constexpr int IDC_CREATE_SELECTION_SETS = 1096;
inline constexpr int IDC_SINGLE_SET = 1084;
inline constexpr int IDC_SAVE_SETTINGS = 1004;
inline constexpr int IDC_LOAD_SETTINGS = 1003;
inline constexpr int IDC_SAVE_DEFAULT = 1097;
inline constexpr int IDC_LOAD_DEFAULT = 1078;

// About (panel and modifier).
inline constexpr int IDC_LOGO = 1011;
inline constexpr int IDC_HELP = 1100;
inline constexpr int IDC_ABOUT_TEXT = 1051;
inline constexpr int IDC_MODIFIER_ABOUT_TEXT = 1141;

// Network Rendering.
inline constexpr int IDC_NETRENDER = 1062;
inline constexpr int IDC_MANAGER_LABEL = 1057;
inline constexpr int IDC_MANAGER = 1034;
inline constexpr int IDC_PORT_LABEL = 1061;
inline constexpr int IDC_PORT = 1036;
inline constexpr int IDC_NETPATH_LABEL = 1052;
inline constexpr int IDC_NETPATH = 1028;
inline constexpr int IDC_NETPATH_BROWSE = 1031;
inline constexpr int IDC_NET_STATUS_LABEL = 1065;
inline constexpr int IDC_NET_STATUS = 1064;
inline constexpr int IDC_MANUAL_MERGE = 1018;

// Info (modifier).
inline constexpr int IDC_INFO_TEXT = 1104;

// Choose Bake Elements.
inline constexpr int IDC_ELEMENT_LIST = 1106;
inline constexpr int IDC_ELEMENT_ADD = 1107;
inline constexpr int IDC_ELEMENT_REMOVE = 1108;
inline constexpr int IDC_ELEMENT_FILE = 1111;
inline constexpr int IDC_ELEMENT_FILE_BROWSE = 1112;
inline constexpr int IDC_ELEMENT_SLOT = 1110;
inline constexpr int IDC_ELEMENT_BACKGROUND = 1126;
inline constexpr int IDC_ELEMENT_WIDTH = 1114;
inline constexpr int IDC_ELEMENT_WIDTH_SPIN = 1116;
inline constexpr int IDC_ELEMENT_HEIGHT = 1118;
inline constexpr int IDC_ELEMENT_HEIGHT_SPIN = 1121;
inline constexpr int IDC_ELEMENT_RATIO = 1149;
inline constexpr int IDC_ELEMENT_RATIO_SPIN = 1150;
inline constexpr int IDC_ELEMENT_LOCK = 1151;
inline constexpr int IDC_ELEMENTS_CLOSE = 1105;

// Add (bake element classes).
inline constexpr int IDC_CLASS_LIST = 1124;
inline constexpr int IDC_CLASS_ADD = 1122;
inline constexpr int IDC_CLASS_CANCEL = 1123;
