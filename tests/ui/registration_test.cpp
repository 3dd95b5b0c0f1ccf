#include "support/golden.h"
// The module as the host loads it: entry points, class descriptors and the
// resources, each on exact values.
#include "host/iparamb2.h"
#include "host/text.h"
#include "host/utilapi.h"
#include "modifier/vellumar_modifier.h"
#include "plugin/module.h"
#include "plugin/resources.h"
#include "plugin/version.h"
#include "support/test_host.h"
#include "ui/vellumar_utility.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string template_text(const DialogTemplate& d) {
    std::ostringstream out;
    out << "dialog " << d.id << " \"" << WideToUtf8(d.caption) << "\" " << d.width << "x"
        << d.height << "\n";
    for (const ControlTemplate& c : d.controls) {
        out << "  " << c.id << " " << ControlKindName(c.kind) << " \"" << WideToUtf8(c.text)
            << "\" " << c.x << "," << c.y << " " << c.width << "x" << c.height << " style 0x"
            << std::hex << c.style << std::dec;
        if (c.image != 0) {
            out << " image " << c.image;
        }
        out << "\n";
    }
    return out.str();
}

TEST(Registration, EntryPointsAnswerAsTheHostExpects) {
    EXPECT_EQ(LibNumberClasses(), 2);
    EXPECT_EQ(LibClassDesc(0), GetVellumarUtilityDesc());
    EXPECT_EQ(LibClassDesc(1), GetVellumarModifierDesc());
    EXPECT_EQ(LibClassDesc(2), nullptr);
    EXPECT_EQ(LibClassDesc(-1), nullptr);
    EXPECT_EQ(LibVersion(), 0x3A982800u);
    EXPECT_EQ(LibInitialize(), 1);
    EXPECT_EQ(LibShutdown(), 1);
    const MCHAR* first = LibDescription();
    const std::wstring text = first;
    EXPECT_EQ(LibDescription(), first);
    EXPECT_EQ(std::wstring(LibDescription()), text);
    EXPECT_EQ(WideToUtf8(text), "Vellumar Kit (2.22.00) (Atlas unwrapping and baking.)");
    EXPECT_EQ(VersionText(), L"2.22.00");
    EXPECT_EQ(VersionText(10305), L"1.03.05");
    EXPECT_EQ(VersionText(120000), L"12.00.00");
}

TEST(Registration, ClassDescriptorsNameTheirClasses) {
    StandaloneCore core;
    ASSERT_TRUE(core.LoadPlugin(VellumarPluginModule()));
    ClassDesc2* u = GetVellumarUtilityDesc();
    ClassDesc2* m = GetVellumarModifierDesc();
    EXPECT_EQ(u->IsPublic(), 1);
    EXPECT_EQ(m->IsPublic(), 0);
    EXPECT_EQ(u->SuperClassID(), 0x1020u);
    EXPECT_EQ(m->SuperClassID(), 0x810u);
    EXPECT_EQ(u->ClassID(), Class_ID(0x36307E8C, 0x25244845));
    EXPECT_EQ(m->ClassID(), Class_ID(0x21413FD8, 0x0E1A69B1));
    EXPECT_EQ(std::wstring(u->Category()), L"Tavik Plugins");
    EXPECT_EQ(std::wstring(m->Category()), L"Tavik Plugins");
    EXPECT_EQ(std::wstring(u->ClassName()).size(), 12u);
    EXPECT_EQ(std::wstring(m->ClassName()).size(), 20u);
    EXPECT_EQ(std::wstring(u->InternalName()), u->ClassName());
    EXPECT_EQ(std::wstring(m->InternalName()), m->ClassName());
    EXPECT_EQ(u->HInstance(), VellumarPluginModule().handle);
    // One utility object for the module's life; a new modifier each time.
    EXPECT_EQ(u->Create(0), &TheVellumarUtility());
    EXPECT_EQ(u->Create(0), u->Create(1));
    auto* a = static_cast<VellumarModifier*>(m->Create(0));
    auto* b = static_cast<VellumarModifier*>(m->Create(1));
    EXPECT_NE(a, b);
    delete a;
    delete b;

    EXPECT_EQ(u->NumParamBlockDescs(), 0);
    ASSERT_EQ(m->NumParamBlockDescs(), 1);
    const ParamBlockDesc2* pb = m->GetParamBlockDesc(0);
    EXPECT_EQ(pb->ID, 0);
    EXPECT_EQ(std::wstring(pb->int_name), L"params");
    EXPECT_EQ(pb->local_name, 0);
    EXPECT_EQ(pb->cd, m);
    EXPECT_EQ(pb->flags, P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP);
    EXPECT_EQ(pb->Count(), 0);
    ASSERT_EQ(pb->rollouts.size(), 2u);
    EXPECT_EQ(pb->rollouts[0].mapId, 0);
    EXPECT_EQ(pb->rollouts[0].dialogTemplate, 115);
    EXPECT_EQ(pb->rollouts[0].title, 20);
    EXPECT_EQ(pb->rollouts[1].mapId, 1);
    EXPECT_EQ(pb->rollouts[1].dialogTemplate, 104);
    EXPECT_EQ(pb->rollouts[1].title, 6);

    // The host finds them through its class directory.
    ClassEntry* entry = core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->CD(), u);
    void* mod = core.CreateInstance(OSM_CLASS_ID, VELLUMAR_MODIFIER_CLASS_ID);
    ASSERT_NE(mod, nullptr);
    delete static_cast<VellumarModifier*>(mod);
}

TEST(Registration, ModuleOfAnotherHostInterfaceIsRefused) {
    StandaloneCore core;
    PluginModule other = VellumarPluginModule();
    other.LibVersion = [] { return ULONG{0x3A982700}; }; // interface 39
    std::string why;
    EXPECT_FALSE(core.LoadPlugin(other, &why));
    EXPECT_EQ(why, "the module was built for another host interface");
    EXPECT_EQ(core.FindClassEntry(UTILITY_CLASS_ID, VELLUMAR_UTILITY_CLASS_ID), nullptr);
    PluginModule missing;
    EXPECT_FALSE(core.LoadPlugin(missing, &why));
}

TEST(Registration, StringTableHoldsEveryText) {
    const std::vector<StringResource> strings = VellumarStrings();
    const char* expected[] = {"Optimal automatic unwrapping",
                              "Tavik Plugins",
                              "VellumarUtility",
                              "Unwrap Parameters",
                              "Advanced Unwrap Settings",
                              "About",
                              "MapChannel",
                              "Charts",
                              "Stretch",
                              "Gutter",
                              "Width",
                              "Height",
                              "Quality",
                              "VellumarModifier",
                              "Results",
                              "Options",
                              "Baking",
                              "Network Rendering",
                              "Base Unwrap",
                              "Info",
                              "Shells"};
    ASSERT_EQ(strings.size(), std::size(expected));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        EXPECT_EQ(strings[i].id, i + 1);
        EXPECT_EQ(WideToUtf8(strings[i].text), expected[i]);
    }
    // Through the host's string loader, cut to the buffer.
    const HINSTANCE module = VellumarPluginModule().handle;
    wchar_t buffer[8];
    EXPECT_EQ(LoadStringW(module, 5, buffer, 8), 7);
    EXPECT_EQ(std::wstring(buffer), L"Advance");
    EXPECT_EQ(LoadStringW(module, 22, buffer, 8), 0);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(Registration, DialogTemplatesMatchTheirGoldenText) {
    std::string all;
    std::vector<int> ids;
    for (const DialogTemplate& d : VellumarDialogTemplates()) {
        all += template_text(d);
        ids.push_back(d.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{101, 102, 104, 105, 106, 107, 110, 114, 115, 118, 119, 120}));
    // What the code relies on, whatever the layout.
    const ModuleResources& r = *VellumarPluginModule().handle;
    auto control = [&](int dialog, int id) -> const ControlTemplate& {
        for (const ControlTemplate& c : r.FindDialog(dialog)->controls) {
            if (c.id == id) {
                return c;
            }
        }
        ADD_FAILURE() << "no control " << id << " in " << dialog;
        static const ControlTemplate none;
        return none;
    };
    EXPECT_EQ(control(115, 1104).style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL),
              ES_MULTILINE | ES_READONLY | WS_VSCROLL);
    EXPECT_NE(control(120, 1011).style & SS_NOTIFY, 0u);
    EXPECT_NE(control(104, 1011).style & SS_NOTIFY, 0u);
    EXPECT_EQ(control(104, 1011).image, 111);
    EXPECT_NE(control(106, 1019).style & ES_READONLY, 0u);
    EXPECT_NE(control(114, 1036).style & ES_NUMBER, 0u);
    EXPECT_NE(control(110, 1074).style & LBS_EXTENDEDSEL, 0u);
    for (auto [dialog, first] : {std::pair{102, 1055},
                                 {102, 1058},
                                 {106, 1020},
                                 {106, 1144},
                                 {119, 1044},
                                 {119, 1046},
                                 {119, 1022}}) {
        EXPECT_NE(control(dialog, first).style & WS_GROUP, 0u) << first;
    }
    ExpectGolden("dialog_templates.txt", all);
}

TEST(Registration, BitmapsHaveTheirSizes) {
    const ModuleResources& r = *VellumarPluginModule().handle;
    const std::pair<int, std::pair<int, int>> sizes[] = {
        {108, {16, 15}}, {109, {16, 15}}, {111, {150, 40}}, {112, {640, 32}}, {113, {640, 32}}};
    for (const auto& [id, size] : sizes) {
        const BitmapResource* b = r.FindBitmap(id);
        ASSERT_NE(b, nullptr) << id;
        EXPECT_EQ(b->width, size.first) << id;
        EXPECT_EQ(b->height, size.second) << id;
        EXPECT_EQ(b->pixels.size(), static_cast<std::size_t>(b->width * b->height)) << id;
    }
    // The out and in images of one mode differ, and so do two modes.
    const BitmapResource* modes = r.FindBitmap(112);
    auto image = [&](int i) {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                px.push_back(modes->pixels[static_cast<std::size_t>(y * 640 + i * 64 + x)]);
            }
        }
        return px;
    };
    EXPECT_NE(image(0), image(1));
    EXPECT_NE(image(1), image(3));
}

} // namespace
