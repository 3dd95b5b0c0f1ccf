#include "bake_test_scene.h"
#include "support/test_host.h"

#include "standalone/render/bake_elements.h"

#include <memory>
#include <stdexcept>

namespace {

const BakeParam& param(const BakeElementEntry& e, const std::string& name) {
    for (const BakeParam& p : e.parameters) {
        if (p.name == name) {
            return p;
        }
    }
    throw std::runtime_error("no parameter " + name);
}

// An element class of another host: its flag answers the plain integer
// accessor with 0 while its typed value says true, its instances may fail to
// be made, and it has no background.
class OddElement : public StandaloneBakeElement {
  public:
    OddElement() : StandaloneBakeElement(def()) {}
    static const BakeElementClassDef& def() {
        static const BakeElementClassDef d{
            L"OddMap",
            Class_ID(0x0DD, 1),
            true,
            true,
            false,
            {{L"Glow", FPValue::Bool(true), FPValue{}, FPValue{}},
             {L"Gain", FPValue::Float(2), FPValue::Float(0), FPValue::Float(10)}}};
        return d;
    }
    int GetParamValue(int i) override { return i == 0 ? 0 : -1; }
};

class OddDesc : public ClassDesc2 {
  public:
    bool fail = false;
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return fail ? nullptr : new OddElement; }
    const MCHAR* ClassName() override { return L"OddMap"; }
    SClass_ID SuperClassID() override { return BAKE_ELEMENT_CLASS_ID; }
    Class_ID ClassID() override { return OddElement::def().classID; }
    const MCHAR* Category() override { return L""; }
    const MCHAR* InternalName() override { return L"OddMap"; }
};

class BakeElementTest : public HostTest {
  protected:
    // The offered classes are worked out once per process, so the
    // descriptor lives as long as the process does, as a host's would.
    BakeElementTest() : odd(shared_odd()) {
        odd.fail = false;
        core.RegisterClass(&odd);
    }
    static OddDesc& shared_odd() {
        static OddDesc desc;
        return desc;
    }
    OddDesc& odd;
};

} // namespace

TEST_F(BakeElementTest, TheHostsFirstElementClassIsNeverOffered) {
    std::vector<std::string> names;
    for (ClassDesc* desc : AvailableElementClasses()) {
        names.push_back(WideToUtf8(desc->ClassName()));
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"CompleteMap", "DiffuseMap", "NormalsMap", "AlphaMap",
                                        "HeightMap", "AmbientOcclusion", "OddMap"}));
}

TEST_F(BakeElementTest, ANewEntryNamesItsFileAfterTheClassInTheOutputFolder) {
    settings().outpath = "C:\\maps";
    settings().width = 640;
    const BakeElementEntry e = CreateEntry(ElementClass("NormalsMap"));
    EXPECT_EQ(WideToUtf8(e.file.Name()), "C:\\maps\\NormalsMap.png");
    EXPECT_EQ(e.file.Type(), 7);
    EXPECT_EQ(e.slot, "NONE");
    EXPECT_EQ(e.width, 640);
    EXPECT_EQ(e.parameters.size(), 3u);

    try {
        CreateEntry(GetVellumarModifierDesc());
        ADD_FAILURE() << "a modifier class made an entry";
    } catch (const std::invalid_argument& ex) {
        EXPECT_STREQ(ex.what(), "Class is not a bake element");
    }
}

TEST_F(BakeElementTest, ParametersAreReadWithTheirTypesRangesAndLegacyFlags) {
    const BakeElementEntry alpha = CreateEntry(ElementClass("AlphaMap"));
    const BakeParam& invert = param(alpha, "Invert");
    EXPECT_TRUE(invert.legacy);
    EXPECT_EQ(invert.type, Flag);
    EXPECT_EQ(invert.flagValue, 0);
    // A text parameter keeps its place and type number, and is reported once.
    EXPECT_EQ(alpha.parameters[1].name, "Source Slot");
    EXPECT_EQ(alpha.parameters[1].type, 8);
    EXPECT_EQ(message_texts(),
              (std::vector<std::string>{"Render element AlphaMap has unknown type 8 for parameter "
                                        "Source Slot"}));
    const BakeElementEntry complete = CreateEntry(ElementClass("CompleteMap"));
    EXPECT_FALSE(param(complete, "Shadows").legacy);
    EXPECT_EQ(param(complete, "Shadows").flagValue, 1);
    EXPECT_EQ(param(complete, "Ambient").type, Colour);
    EXPECT_FLOAT_EQ(param(complete, "Ambient").colourValue[2], 0.05f);

    const BakeElementEntry height = CreateEntry(ElementClass("HeightMap"));
    EXPECT_TRUE(param(height, "Min Height").hasRange);
    EXPECT_FLOAT_EQ(param(height, "Min Height").floatMin, -1e6f);
    // Its minimum is an int: no range, the float extremes stay.
    EXPECT_FALSE(param(height, "Max Height").hasRange);
    EXPECT_EQ(param(height, "Max Height").floatMin, std::numeric_limits<float>::lowest());

    const BakeElementEntry ao = CreateEntry(ElementClass("AmbientOcclusion"));
    EXPECT_EQ(param(ao, "Samples").intMax, 1024);
    EXPECT_FALSE(param(ao, "Seed").hasRange);
    EXPECT_EQ(param(ao, "Seed").intMin, std::numeric_limits<int>::min());

    // Without typed values, a parameter's type cannot be known.
    BakeElementEntry shadow_map;
    shadow_map.elementClass = ElementClass("ShadowsMap");
    ReadParameters(shadow_map);
    ASSERT_EQ(shadow_map.parameters.size(), 1u);
    EXPECT_EQ(shadow_map.parameters[0].type, Unknown);

    // A plain integer of 0 makes a legacy flag that is off, whatever the
    // typed value says.
    const BakeElementEntry odd_entry = CreateEntry(&odd);
    EXPECT_TRUE(param(odd_entry, "Glow").legacy);
    EXPECT_EQ(param(odd_entry, "Glow").flagValue, 0);
    EXPECT_FLOAT_EQ(param(odd_entry, "Gain").floatMax, 10);
}

TEST_F(BakeElementTest, AClassWithoutInstancesStillMakesAnEntryWithoutParameters) {
    odd.fail = true;
    const BakeElementEntry e = CreateEntry(&odd);
    EXPECT_TRUE(e.parameters.empty());
    EXPECT_EQ(message_texts(),
              (std::vector<std::string>{"Bake element initialization failed. Couldn't create "
                                        "MaxBakeElement8 object for OddMap. Element specific "
                                        "settings will not be available."}));
}

TEST_F(BakeElementTest, ApplyingWritesEveryValueByNameAndTheBackground) {
    BakeElementEntry e = CreateEntry(ElementClass("AmbientOcclusion"));
    for (BakeParam& p : e.parameters) {
        if (p.name == "Samples") {
            p.intValue = 64;
        } else if (p.name == "Spread") {
            p.floatValue = 0.25f;
        } else if (p.name == "Bright") {
            p.colourValue[0] = 0.5f;
        }
    }
    // Two entry parameters of one name both write, in list order.
    BakeParam again = param(e, "Seed");
    again.intValue = 9;
    e.parameters.push_back(again);
    e.background[0] = 0.2f;
    e.background[3] = 1.0f;

    std::unique_ptr<StandaloneBakeElement> made(
        static_cast<StandaloneBakeElement*>(ElementClass("AmbientOcclusion")->Create(0)));
    StandaloneBakeElement& live = *made;
    ApplyParameters(e, live);
    EXPECT_EQ(live.Value(L"Samples").i, 64);
    EXPECT_FLOAT_EQ(live.Value(L"Spread").f, 0.25f);
    EXPECT_FLOAT_EQ(live.Value(L"Bright").p.x, 0.5f);
    EXPECT_EQ(live.Value(L"Seed").i, 9);
    EXPECT_EQ(live.Background(), AColor(0.2f, 0, 0, 1));
    EXPECT_TRUE(core.messages().empty());

    // Legacy flags go through the plain integer; a text cannot be carried.
    BakeElementEntry alpha = CreateEntry(ElementClass("AlphaMap"));
    core.ClearMessages();
    alpha.parameters[0].flagValue = 1;
    std::unique_ptr<StandaloneBakeElement> made_alpha(
        static_cast<StandaloneBakeElement*>(ElementClass("AlphaMap")->Create(0)));
    StandaloneBakeElement& live_alpha = *made_alpha;
    ApplyParameters(alpha, live_alpha);
    EXPECT_EQ(live_alpha.GetParamValue(0), 1);
    EXPECT_EQ(live_alpha.Value(L"Source Slot").s, L"Opacity");
    EXPECT_EQ(
        message_texts(),
        (std::vector<std::string>{"cannot assign type 8 of parameter Source Slot to bake params"}));
}

TEST_F(BakeElementTest, RebasingMovesEveryFileIntoTheOutputFolderAndSlotsReset) {
    ResetSlots(); // nothing to do on an empty list
    UnwrapSettings& s = settings();
    s.elements = {CreateEntry(ElementClass("DiffuseMap")), CreateEntry(ElementClass("AlphaMap"))};
    s.elements[0].file.SetName(L"/old/place\\deep/diffuse_7.png");
    s.elements[0].slot = "Diffuse Color";
    s.elements[1].slot = "Opacity";
    s.outpath = "E:\\final\\";
    RebaseFiles();
    EXPECT_EQ(WideToUtf8(s.elements[0].file.Name()), "E:\\final\\\\diffuse_7.png");
    EXPECT_EQ(WideToUtf8(s.elements[1].file.Name()), "E:\\final\\\\AlphaMap.png");
    ResetSlots();
    EXPECT_EQ(s.elements[0].slot, "NONE");
    EXPECT_EQ(s.elements[1].slot, "NONE");
    s.elements.clear();
}
