// Runs script texts with the host's semantics: global variables that live
// from one script to the next, functions the host registers by name, and
// errors that stop the script (shown unless the caller asked for quiet).
#pragma once

#include "standalone/script/script_parser.h"

#include <functional>
#include <map>
#include <string>

class ScriptRunner {
  public:
    ScriptRunner();

    // Makes a global: a function, a struct of functions (an object whose
    // properties are functions) or any value. Names ignore case.
    void SetGlobal(const std::string& name, ScriptValue value);
    ScriptValue Global(const std::string& name) const;
    // How `$name` finds a node; without one every path is undefined.
    void SetNodeResolver(std::function<ScriptValue(const std::string&)> resolver) {
        resolve_node_ = std::move(resolver);
    }

    // Runs every statement in order; the first error stops the script.
    // Returns false on an error, whose text Error() then holds. `last`, when
    // given, receives the value of the last statement.
    bool Execute(const std::string& text, ScriptValue* last = nullptr);
    const std::string& Error() const { return error_; }

  private:
    ScriptValue Run(const ScriptStmt& st);
    ScriptValue Eval(const ScriptExpr& e);

    std::map<std::string, ScriptValue> globals_;
    std::function<ScriptValue(const std::string&)> resolve_node_;
    std::string error_;
};

// A bitmap made by the `bitmap` function: what a render writes its window
// image into. It knows its size and whether it was closed.
class ScriptBitmap : public ScriptObject {
  public:
    ScriptBitmap(int width, int height) : width_(width), height_(height) {}
    std::string TypeName() const override { return "BitMap"; }
    bool GetProperty(const std::string& name, ScriptValue& out) override;
    int width() const { return width_; }
    int height() const { return height_; }
    bool closed() const { return closed_; }
    void Close() { closed_ = true; }

  private:
    int width_, height_;
    bool closed_ = false;
};
