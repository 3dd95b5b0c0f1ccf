// A struct global such as maxOps: an object whose properties are functions.
#pragma once

#include "standalone/script/script_value.h"

#include <string>
#include <utility>
#include <vector>

// A struct global such as maxOps: an object whose properties are functions.
class FunctionStruct : public ScriptObject {
  public:
    FunctionStruct(std::string name, std::vector<std::pair<std::string, ScriptFunction>> fns)
        : name_(std::move(name)), fns_(std::move(fns)) {}
    std::string TypeName() const override { return name_; }
    bool GetProperty(const std::string& name, ScriptValue& out) override {
        for (const auto& [key, fn] : fns_) {
            if (key == name) {
                out = fn;
                return true;
            }
        }
        return false;
    }

  private:
    std::string name_;
    std::vector<std::pair<std::string, ScriptFunction>> fns_;
};
