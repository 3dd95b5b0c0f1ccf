#include "standalone/script/script_value.h"

bool ScriptObject::GetProperty(const std::string&, ScriptValue&) {
    return false;
}

bool ScriptObject::SetProperty(const std::string&, const ScriptValue&) {
    return false;
}

std::string ScriptValue::TypeName() const {
    switch (v.index()) {
    case 0:
        return "undefined";
    case 1:
        return "BooleanClass";
    case 2:
        return "Integer";
    case 3:
        return "Float";
    case 4:
        return "String";
    case 5:
        return "Name";
    case 6:
        return std::get<6>(v) ? std::get<6>(v)->TypeName() : "undefined";
    default:
        return "Primitive";
    }
}

namespace {

[[noreturn]] void cannot_convert(const ScriptValue& value, const char* to) {
    throw ScriptError("Unable to convert: " + value.TypeName() + " to type: " + to);
}

} // namespace

bool ScriptValue::AsBool() const {
    if (const bool* b = std::get_if<bool>(&v)) {
        return *b;
    }
    cannot_convert(*this, "Boolean");
}

int ScriptValue::AsInt() const {
    if (const int* i = std::get_if<int>(&v)) {
        return *i;
    }
    if (const float* f = std::get_if<float>(&v); f != nullptr && *f == static_cast<int>(*f)) {
        return static_cast<int>(*f);
    }
    cannot_convert(*this, "Integer");
}

float ScriptValue::AsFloat() const {
    if (const float* f = std::get_if<float>(&v)) {
        return *f;
    }
    if (const int* i = std::get_if<int>(&v)) {
        return static_cast<float>(*i);
    }
    cannot_convert(*this, "Float");
}

const std::string& ScriptValue::AsString() const {
    if (const std::string* s = std::get_if<std::string>(&v)) {
        return *s;
    }
    cannot_convert(*this, "String");
}

const ScriptName& ScriptValue::AsName() const {
    if (const ScriptName* n = std::get_if<ScriptName>(&v)) {
        return *n;
    }
    cannot_convert(*this, "Name");
}

std::shared_ptr<ScriptObject> ScriptValue::AsObject() const {
    if (const auto* o = std::get_if<std::shared_ptr<ScriptObject>>(&v); o != nullptr && *o) {
        return *o;
    }
    cannot_convert(*this, "MAXWrapper");
}

const ScriptValue* ScriptArgs::Keyword(const std::string& name) const {
    for (const auto& [key, value] : keywords) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

void ScriptArgs::Expect(const std::string& function, std::size_t count) const {
    if (positional.size() != count) {
        throw ScriptError("Argument count error: " + function + " wanted " + std::to_string(count) +
                          ", got " + std::to_string(positional.size()));
    }
}
