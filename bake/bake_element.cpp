#include "bake/bake_element.h"

#include "bake/output_names.h"

#include "host/interface.h"
#include "host/text.h"
#include "settings/settings.h"

#include <stdexcept>

namespace {

// Host elements made only to be read or written here; released on scope exit.
struct ElementHandle {
    MaxBakeElement* element = nullptr;
    ~ElementHandle() {
        if (element != nullptr) {
            element->DeleteThis();
        }
    }
};

} // namespace

BakeElementEntry CreateEntry(ClassDesc* elementClass) {
    if (elementClass == nullptr || elementClass->SuperClassID() != BAKE_ELEMENT_CLASS_ID) {
        throw std::invalid_argument("Class is not a bake element");
    }
    BakeElementEntry entry;
    entry.elementClass = elementClass;
    const std::string name = WideToUtf8(elementClass->ClassName());
    entry.file.SetName(Utf8ToWide(settings().outpath + "\\" + name + ".png").c_str());
    entry.file.SetType(kDefaultBakeImageType);
    entry.slot = "NONE";
    // A new element renders at the atlas size the user set for unwrapping.
    entry.width = settings().width;
    entry.height = settings().height;
    ReadParameters(entry);
    return entry;
}

void ReadParameters(BakeElementEntry& entry) {
    entry.parameters.clear();
    const std::string className = WideToUtf8(entry.elementClass->ClassName());
    Interface* ip = GetCOREInterface();
    ElementHandle handle;
    if (ip != nullptr) {
        handle.element = static_cast<MaxBakeElement*>(
            ip->CreateInstance(BAKE_ELEMENT_CLASS_ID, entry.elementClass->ClassID()));
    }
    MaxBakeElement* element = handle.element;
    if (element == nullptr) {
        report("Bake element initialization failed. Couldn't create MaxBakeElement8 object for " +
                   className + ". Element specific settings will not be available.",
               0);
        return;
    }
    auto* typed = static_cast<MaxBakeElement8*>(element->GetInterface(MAXBAKEELEMENT8_INTERFACE));
    auto* withBackground =
        static_cast<MaxBakeElement10*>(element->GetInterface(MAXBAKEELEMENT10_INTERFACE));
    const int count = element->GetNParams();
    for (int i = 0; i < count; ++i) {
        BakeParam param;
        const MCHAR* name = element->GetParamName(i);
        param.name = WideToUtf8(name != nullptr ? name : L"");
        const int plain = element->GetParamValue(i);
        if (plain != -1) {
            param.legacy = true;
            param.type = Flag;
            param.flagValue = plain != 0 ? 1 : 0;
        } else if (typed != nullptr) {
            const FPValue value = typed->GetParamFPValue(i);
            const FPValue lo = typed->GetParamFPValueMin(i);
            const FPValue hi = typed->GetParamFPValueMax(i);
            param.type = value.type;
            param.hasRange = lo.type == value.type && hi.type == value.type;
            switch (value.type) {
            case Float:
                param.floatValue = value.f;
                if (param.hasRange) {
                    param.floatMin = lo.f;
                    param.floatMax = hi.f;
                }
                break;
            case Int:
                param.intValue = value.i;
                if (param.hasRange) {
                    param.intMin = lo.i;
                    param.intMax = hi.i;
                }
                break;
            case Flag:
                param.flagValue = value.i != 0 ? 1 : 0;
                break;
            case Colour:
                param.colourValue[0] = value.p.x;
                param.colourValue[1] = value.p.y;
                param.colourValue[2] = value.p.z;
                break;
            default:
                report("Render element " + className + " has unknown type " +
                           std::to_string(value.type) + " for parameter " + param.name,
                       0);
                break;
            }
        }
        entry.parameters.push_back(param);
    }
    // Read once, not per parameter, so that a class without parameters
    // still hands over its background.
    if (withBackground != nullptr) {
        const AColor bg = withBackground->GetBackgroundColor();
        entry.background[0] = bg.r;
        entry.background[1] = bg.g;
        entry.background[2] = bg.b;
        entry.background[3] = bg.a;
    }
}

void ApplyParameters(const BakeElementEntry& entry, MaxBakeElement& element) {
    auto* typed = static_cast<MaxBakeElement8*>(element.GetInterface(MAXBAKEELEMENT8_INTERFACE));
    const int count = element.GetNParams();
    for (int j = 0; j < count; ++j) {
        const MCHAR* wide = element.GetParamName(j);
        const std::string name = WideToUtf8(wide != nullptr ? wide : L"");
        // Every entry parameter of that name writes, in list order: the last wins.
        for (const BakeParam& p : entry.parameters) {
            if (p.name != name) {
                continue;
            }
            if (p.legacy) {
                element.SetParamValue(j, p.flagValue);
                continue;
            }
            if (typed == nullptr) {
                continue;
            }
            switch (p.type) {
            case Flag:
                typed->SetParamFPValue(j, FPValue::Bool(p.flagValue != 0));
                break;
            case Int:
                typed->SetParamFPValue(j, FPValue::Int(p.intValue));
                break;
            case Float:
                typed->SetParamFPValue(j, FPValue::Float(p.floatValue));
                break;
            case Colour:
                typed->SetParamFPValue(j, FPValue::Colour(Point3(p.colourValue[0], p.colourValue[1],
                                                                 p.colourValue[2])));
                break;
            default:
                report("cannot assign type " + std::to_string(p.type) + " of parameter " + p.name +
                           " to bake params",
                       0);
                break;
            }
        }
    }
    if (auto* withBackground =
            static_cast<MaxBakeElement10*>(element.GetInterface(MAXBAKEELEMENT10_INTERFACE))) {
        withBackground->SetBackgroundColor(AColor(entry.background[0], entry.background[1],
                                                  entry.background[2], entry.background[3]));
    }
}

const std::vector<ClassDesc*>& AvailableElementClasses() {
    // The host's list does not change while the module is loaded.
    // Asked before any host is up, the answer is empty and not kept.
    static std::vector<ClassDesc*> offered;
    static bool built = false;
    Interface* ip = GetCOREInterface();
    if (built || ip == nullptr) {
        return offered;
    }
    built = true;
    SubClassList* list = ip->GetClassDirectory().GetClassList(BAKE_ELEMENT_CLASS_ID);
    const int count = list != nullptr ? list->Count(ACC_ALL) : 0;
    for (int i = 1; i < count; ++i) {
        if (ClassDesc* desc = (*list)[i].CD()) {
            offered.push_back(desc);
        }
    }
    return offered;
}

void RebaseFiles() {
    UnwrapSettings& s = settings();
    for (BakeElementEntry& e : s.elements) {
        const std::string name = FileNamePart(WideToUtf8(e.file.Name()));
        e.file.SetName(Utf8ToWide(s.outpath + "\\" + name).c_str());
    }
}

void ResetSlots() {
    for (BakeElementEntry& e : settings().elements) {
        e.slot = "NONE";
    }
}
