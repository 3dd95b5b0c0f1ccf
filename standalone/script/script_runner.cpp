#include "standalone/script/script_runner.h"

#include <algorithm>
#include <cctype>

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string at_line(const ScriptExpr& e, const std::string& what) {
    return what + " (line " + std::to_string(e.line) + ")";
}

// Bitmaps larger than this would only exhaust memory; hosts refuse them too.
constexpr long long kMaxBitmapPixels = 1ll << 28;

ScriptValue make_bitmap(const ScriptArgs& a) {
    a.Expect("bitmap", 2);
    const int w = a.positional[0].AsInt();
    const int h = a.positional[1].AsInt();
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > kMaxBitmapPixels) {
        throw ScriptError("Runtime error: Invalid bitmap size " + std::to_string(w) + " x " +
                          std::to_string(h));
    }
    return std::shared_ptr<ScriptObject>(std::make_shared<ScriptBitmap>(w, h));
}

ScriptValue close_bitmap(const ScriptArgs& a) {
    a.Expect("close", 1);
    auto bm = std::dynamic_pointer_cast<ScriptBitmap>(a.positional[0].AsObject());
    if (!bm) {
        throw ScriptError("Unable to convert: " + a.positional[0].TypeName() + " to type: BitMap");
    }
    bm->Close();
    return ScriptValue(true);
}

} // namespace

bool ScriptBitmap::GetProperty(const std::string& name, ScriptValue& out) {
    if (name == "width") {
        out = width_;
        return true;
    }
    if (name == "height") {
        out = height_;
        return true;
    }
    return false;
}

ScriptRunner::ScriptRunner() {
    SetGlobal("bitmap", ScriptFunction(make_bitmap));
    SetGlobal("close", ScriptFunction(close_bitmap));
}

void ScriptRunner::SetGlobal(const std::string& name, ScriptValue value) {
    globals_[lower(name)] = std::move(value);
}

ScriptValue ScriptRunner::Global(const std::string& name) const {
    const auto it = globals_.find(lower(name));
    return it != globals_.end() ? it->second : ScriptValue();
}

bool ScriptRunner::Execute(const std::string& text, ScriptValue* last) {
    error_.clear();
    try {
        // The whole text is parsed first: a syntax error anywhere runs nothing.
        const std::vector<ScriptStmt> program = ParseScript(text);
        ScriptValue value;
        for (const ScriptStmt& st : program) {
            value = Run(st);
        }
        if (last != nullptr) {
            *last = value;
        }
        return true;
    } catch (const ScriptError& e) {
        error_ = e.what();
    } catch (const std::exception& e) {
        error_ = std::string("Runtime error: ") + e.what();
    }
    return false;
}

ScriptValue ScriptRunner::Run(const ScriptStmt& st) {
    switch (st.kind) {
    case ScriptStmt::Evaluate:
        return Eval(*st.expr);
    case ScriptStmt::IfDo:
        if (Eval(*st.expr).AsBool()) {
            return Run(*st.body);
        }
        return {};
    case ScriptStmt::Assign: {
        const ScriptValue value = Eval(*st.expr);
        const ScriptExpr& target = *st.target;
        if (target.kind == ScriptExpr::Variable) {
            globals_[target.name] = value;
            return value;
        }
        const ScriptValue owner = Eval(*target.target);
        const auto* obj = std::get_if<std::shared_ptr<ScriptObject>>(&owner.v);
        if (obj == nullptr || !*obj || !(*obj)->SetProperty(target.name, value)) {
            throw ScriptError(at_line(target, "Unknown property: \"" + target.name + "\" in " +
                                                  owner.TypeName()));
        }
        return value;
    }
    }
    return {};
}

ScriptValue ScriptRunner::Eval(const ScriptExpr& e) {
    switch (e.kind) {
    case ScriptExpr::Literal:
        return e.literal;
    case ScriptExpr::Variable:
        return Global(e.name);
    case ScriptExpr::NodePath:
        return resolve_node_ ? resolve_node_(e.name) : ScriptValue();
    case ScriptExpr::Not:
        return ScriptValue(!Eval(*e.target).AsBool());
    case ScriptExpr::Negate: {
        const ScriptValue v = Eval(*e.target);
        if (const int* i = std::get_if<int>(&v.v)) {
            return ScriptValue(-*i);
        }
        return ScriptValue(-v.AsFloat());
    }
    case ScriptExpr::Property: {
        const ScriptValue owner = Eval(*e.target);
        const auto* obj = std::get_if<std::shared_ptr<ScriptObject>>(&owner.v);
        ScriptValue out;
        if (obj == nullptr || !*obj || !(*obj)->GetProperty(e.name, out)) {
            throw ScriptError(
                at_line(e, "Unknown property: \"" + e.name + "\" in " + owner.TypeName()));
        }
        return out;
    }
    case ScriptExpr::Call: {
        const ScriptValue fn = Eval(*e.target);
        const auto* f = std::get_if<ScriptFunction>(&fn.v);
        if (f == nullptr) {
            throw ScriptError(
                at_line(e, "Type error: Call needs function or class, got: " + fn.TypeName()));
        }
        ScriptArgs args;
        // `max ACTION...` names one of the host's own actions: its words
        // are names, not variables.
        const bool action = e.target->kind == ScriptExpr::Variable && e.target->name == "max";
        for (const auto& a : e.args) {
            args.positional.push_back(
                action && a->kind == ScriptExpr::Variable ? ScriptValue{a->name} : Eval(*a));
        }
        for (const auto& [key, a] : e.keywords) {
            args.keywords.emplace_back(key, Eval(*a));
        }
        try {
            return (*f)(args);
        } catch (const ScriptError& err) {
            throw ScriptError(at_line(e, err.what()));
        }
    }
    }
    return ScriptValue();
}
