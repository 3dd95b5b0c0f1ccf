// Values of the host's script language as the standalone runner holds them:
// undefined, booleans, numbers, strings, names (#name), host objects with
// properties, and functions taking positional and keyword arguments.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

struct ScriptValue;

// Raised by the runner and by functions: the statement stops, and the text
// is what the host's listener would print.
class ScriptError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A host object seen from scripts. Property names arrive lower-cased, since
// the language ignores case in names.
class ScriptObject {
  public:
    virtual ~ScriptObject() = default;
    virtual std::string TypeName() const = 0;
    // False when the object has no such property.
    virtual bool GetProperty(const std::string& name, ScriptValue& out);
    virtual bool SetProperty(const std::string& name, const ScriptValue& value);
};

struct ScriptName {
    std::string text; // lower-cased, without '#'
    bool operator==(const ScriptName&) const = default;
};

struct ScriptArgs;
using ScriptFunction = std::function<ScriptValue(const ScriptArgs&)>;

struct ScriptValue {
    std::variant<std::monostate, bool, int, float, std::string, ScriptName,
                 std::shared_ptr<ScriptObject>, ScriptFunction>
        v;

    ScriptValue() = default;
    template <class T>
    requires(!std::is_same_v<std::decay_t<T>, ScriptValue>) ScriptValue(T x) : v(std::move(x)) {}
    ScriptValue(const char* s) : v(std::string(s)) {}

    bool IsUndefined() const { return v.index() == 0; }
    std::string TypeName() const;
    // Conversions that raise a ScriptError naming what was given instead.
    bool AsBool() const;
    int AsInt() const;
    float AsFloat() const;
    const std::string& AsString() const;
    const ScriptName& AsName() const;
    std::shared_ptr<ScriptObject> AsObject() const;
};

struct ScriptArgs {
    std::vector<ScriptValue> positional;
    std::vector<std::pair<std::string, ScriptValue>> keywords; // lower-cased names, in order

    // The keyword's value, or nullptr when it was not given.
    const ScriptValue* Keyword(const std::string& name) const;
    // Raises unless exactly `count` positional arguments were given.
    void Expect(const std::string& function, std::size_t count) const;
};
