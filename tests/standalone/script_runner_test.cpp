#include "support/test_host.h"

#include "host/script.h"

namespace {

// A host object that records what scripts set on it.
class Recorder : public ScriptObject {
  public:
    std::string TypeName() const override { return "Recorder"; }
    bool GetProperty(const std::string& name, ScriptValue& out) override {
        if (name == "addobjectnode") {
            out = ScriptFunction([this](const ScriptArgs& a) {
                a.Expect("addObjectNode", 1);
                added.push_back(a.positional[0].AsInt());
                return ScriptValue(true);
            });
            return true;
        }
        const auto it = props.find(name);
        if (it == props.end()) {
            return false;
        }
        out = it->second;
        return true;
    }
    bool SetProperty(const std::string& name, const ScriptValue& value) override {
        if (name == "readonly") {
            return false;
        }
        props[name] = value;
        return true;
    }
    std::map<std::string, ScriptValue> props;
    std::vector<int> added;
};

struct Call {
    std::string function;
    ScriptArgs args;
};

class ScriptTest : public HostTest {
  protected:
    ScriptTest() {
        auto record = [this](const std::string& name, ScriptValue result = ScriptValue(true)) {
            return ScriptFunction([this, name, result](const ScriptArgs& a) {
                calls.push_back({name, a});
                return result;
            });
        };
        ScriptRunner& r = core.scripts();
        r.SetGlobal("render", record("render"));
        r.SetGlobal("messagebox", record("messagebox"));
        r.SetGlobal("NetworkRTT", record("networkrtt", ScriptValue(false)));
        auto struct_of = std::make_shared<Recorder>();
        struct_of->props["getnodebyhandle"] = ScriptFunction([](const ScriptArgs& a) {
            a.Expect("getNodeByHandle", 1);
            return ScriptValue(a.positional[0].AsInt() * 10);
        });
        r.SetGlobal("maxOps", std::shared_ptr<ScriptObject>(struct_of));
        r.SetGlobal("Projection", ScriptFunction([this](const ScriptArgs&) {
                        return ScriptValue(std::shared_ptr<ScriptObject>(projection));
                    }));
        r.SetNodeResolver([this](const std::string& name) {
            return name == "vellumar_bake_caddy0"
                       ? ScriptValue(std::shared_ptr<ScriptObject>(caddy))
                       : ScriptValue();
        });
        caddy->props["inodebakeprojproperties"] = std::shared_ptr<ScriptObject>(bake_props);
    }
    bool run(const std::string& text, bool quiet = false) {
        return ExecuteMAXScriptScript(Utf8ToWide(text).c_str(), quiet ? 1 : 0) != 0;
    }

    std::vector<Call> calls;
    std::shared_ptr<Recorder> projection = std::make_shared<Recorder>();
    std::shared_ptr<Recorder> caddy = std::make_shared<Recorder>();
    std::shared_ptr<Recorder> bake_props = std::make_shared<Recorder>();
};

} // namespace

TEST_F(ScriptTest, TheRenderScriptRendersIntoAClosedBitmapWithItsKeywords) {
    ASSERT_TRUE(run("bm = bitmap 512 256 \n render rendertype:#bakeSelected frame:-5 to:bm "
                    "vfb:true \n close bm"))
        << core.scripts().Error();
    ASSERT_EQ(calls.size(), 1u);
    const ScriptArgs& a = calls[0].args;
    EXPECT_TRUE(a.positional.empty());
    EXPECT_EQ(a.Keyword("rendertype")->AsName().text, "bakeselected");
    EXPECT_EQ(a.Keyword("frame")->AsInt(), -5);
    EXPECT_TRUE(a.Keyword("vfb")->AsBool());
    auto bm = std::dynamic_pointer_cast<ScriptBitmap>(a.Keyword("to")->AsObject());
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->width(), 512);
    EXPECT_EQ(bm->height(), 256);
    EXPECT_TRUE(bm->closed());
    EXPECT_TRUE(core.messages().empty());
}

TEST_F(ScriptTest, ProjectionSetUpAssignsPropertiesAndCallsMethodsOnHostObjects) {
    const std::string script =
        "vellumar_projector = $vellumar_bake_caddy0.INodeBakeProjProperties\n"
        "vellumar_prj = Projection()\n"
        "vellumar_projector.enabled = true\n"
        "vellumar_projector.projectionMod = vellumar_prj\n"
        "vellumar_projector.projSpace = #uvw_match\n"
        "vellumar_projector.rayOffset = 1.0\n"
        "vellumar_projector.subObjBakeChannel = 2\n"
        "vellumar_prj.addObjectNode(maxOps.getNodeByHandle 3)\n"
        "VELLUMAR_PRJ.addObjectNode (MAXOPS.GetNodeByHandle 4)\n";
    ASSERT_TRUE(run(script)) << core.scripts().Error();
    EXPECT_TRUE(bake_props->props["enabled"].AsBool());
    EXPECT_EQ(bake_props->props["projectionmod"].AsObject(), projection);
    EXPECT_EQ(bake_props->props["projspace"].AsName().text, "uvw_match");
    EXPECT_FLOAT_EQ(bake_props->props["rayoffset"].AsFloat(), 1.0f);
    EXPECT_EQ(bake_props->props["subobjbakechannel"].AsInt(), 2);
    EXPECT_EQ(projection->added, (std::vector<int>{30, 40}));
}

TEST_F(ScriptTest, NetworkSubmissionLinesWithTabsStringsAndAConditionRun) {
    const std::string script = " prev_VFB = true \n"
                               " \t\tres = NetworkRTT selection \n"
                               " \t\tif not res do messagebox \"Network render submission failed\" "
                               "title:\"Vellumar [network render]\" \n"
                               " \t\tpath = \"\\\\\\server\\jobs\\vellumar_1\" \n"
                               " \t\tfolder = \"/net\\\\job_1\\\" \n";
    ASSERT_TRUE(run(script)) << core.scripts().Error();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "networkrtt");
    EXPECT_EQ(calls[0].args.positional[0].AsObject()->TypeName(), "ObjectSet");
    EXPECT_EQ(calls[1].args.positional[0].AsString(), "Network render submission failed");
    EXPECT_EQ(calls[1].args.Keyword("title")->AsString(), "Vellumar [network render]");
    // Only the first backslash is doubled in the text; the others stay.
    EXPECT_EQ(core.scripts().Global("path").AsString(), "\\\\server\\jobs\\vellumar_1");
    // A folder ends with its separator: the backslash before the line's
    // last quote belongs to the folder.
    EXPECT_EQ(core.scripts().Global("folder").AsString(), "/net\\job_1\\");
}

TEST_F(ScriptTest, ErrorsStopTheScriptAndAreShownUnlessQuiet) {
    struct Case {
        std::string script;
        std::string error_start;
        int calls_before_error;
    };
    const std::vector<Case> cases = {
        {"render frame:1\nnosuchthing 3\nrender frame:2", "Type error: Call needs function", 1},
        {"render frame:1\nx = Projection()\nx.readonly = 3", "Unknown property: \"readonly\"", 1},
        {"bm = bitmap 100000 100000", "Runtime error: Invalid bitmap size", 0},
        {"close 3", "Unable to convert: Integer to type: MAXWrapper", 0},
        {"render frame:1\nrender frame:(2", "Syntax error: at line 2", 0},
        {"render frame:1 \"unterminated", "Syntax error: at line 1, unterminated string", 0},
        {"if 3 do render frame:1", "Unable to convert: Integer to type: Boolean", 0},
        {"render ?", "Syntax error: at line 1, unexpected character '?'", 0},
    };
    for (const Case& c : cases) {
        for (bool quiet : {true, false}) {
            calls.clear();
            core.ClearMessages();
            EXPECT_FALSE(run(c.script, quiet)) << c.script;
            EXPECT_EQ(core.scripts().Error().rfind(c.error_start, 0), 0u)
                << c.script << " gave " << core.scripts().Error();
            EXPECT_EQ(static_cast<int>(calls.size()), c.calls_before_error) << c.script;
            EXPECT_EQ(core.messages().size(), quiet ? 0u : 1u);
        }
    }
    EXPECT_EQ(core.messages()[0].caption, L"MAXScript");
}
