#include "host/resources.h"

const char* ControlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Static:
        return "static";
    case ControlKind::Picture:
        return "picture";
    case ControlKind::GroupBox:
        return "group";
    case ControlKind::PushButton:
        return "button";
    case ControlKind::CheckBox:
        return "check";
    case ControlKind::RadioButton:
        return "radio";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::CustEdit:
        return "custedit";
    case ControlKind::Spinner:
        return "spinner";
    case ControlKind::DropDownList:
        return "dropdown";
    case ControlKind::ListBox:
        return "listbox";
    case ControlKind::ListView:
        return "listview";
    case ControlKind::ColorSwatch:
        return "swatch";
    case ControlKind::CustButton:
        return "custbutton";
    }
    return "unknown";
}
