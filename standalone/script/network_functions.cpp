#include "standalone/script/network_functions.h"

#include "host/text.h"
#include "host/windows.h"
#include "standalone/core.h"
#include "standalone/network/network_rtt.h"
#include "standalone/script/function_struct.h"

namespace {

// `selection`: whatever is selected when a function receives it.
class SelectionValue : public ScriptObject {
  public:
    std::string TypeName() const override { return "ObjectSet"; }
};

std::string value_text(const ScriptValue& v) {
    if (const int* i = std::get_if<int>(&v.v)) {
        return std::to_string(*i);
    }
    if (const float* f = std::get_if<float>(&v.v)) {
        return std::to_string(*f);
    }
    if (const bool* b = std::get_if<bool>(&v.v)) {
        return *b ? "true" : "false";
    }
    return v.AsString();
}

void expect_custom(const ScriptArgs& a, const std::string& function, std::size_t count) {
    a.Expect(function, count);
    if (a.positional[0].AsName().text != "custom") {
        throw ScriptError("-- Runtime error: " + function + " only knows #custom properties");
    }
}

} // namespace

void InstallNetworkFunctions(StandaloneCore& core) {
    ScriptRunner& s = core.scripts();
    s.SetGlobal("rendshowvfb", ScriptValue(true));
    s.SetGlobal("selection", std::shared_ptr<ScriptObject>(std::make_shared<SelectionValue>()));
    s.SetGlobal(
        "fileproperties",
        std::shared_ptr<ScriptObject>(std::make_shared<FunctionStruct>(
            "fileProperties",
            std::vector<
                std::pair<std::string, ScriptFunction>>{{"addproperty",
                                                         [&core](const ScriptArgs& a) {
                                                             expect_custom(
                                                                 a, "fileProperties.addProperty",
                                                                 3);
                                                             core.scene().SetFileProperty(
                                                                 a.positional[1].AsString(),
                                                                 value_text(a.positional[2]));
                                                             return ScriptValue(true);
                                                         }},
                                                        {"deleteproperty",
                                                         [&core](const ScriptArgs& a) {
                                                             expect_custom(
                                                                 a, "fileProperties.deleteProperty",
                                                                 2);
                                                             core.scene().DeleteFileProperty(
                                                                 a.positional[1].AsString());
                                                             return ScriptValue(true);
                                                         }}})));
    s.SetGlobal("messagebox", ScriptFunction([&core](const ScriptArgs& a) {
                    a.Expect("messageBox", 1);
                    const ScriptValue* title = a.Keyword("title");
                    MessageBoxW(&core, Utf8ToWide(a.positional[0].AsString()).c_str(),
                                title != nullptr ? Utf8ToWide(title->AsString()).c_str() : L"MAX",
                                MB_OK);
                    return ScriptValue();
                }));
    s.SetGlobal("networkrtt", ScriptFunction([&core](const ScriptArgs& a) {
                    a.Expect("NetworkRTT", 1);
                    if (!std::dynamic_pointer_cast<SelectionValue>(a.positional[0].AsObject())) {
                        throw ScriptError("-- Runtime error: NetworkRTT needs the selection");
                    }
                    return ScriptValue(NetworkRTT(core));
                }));
}
