// The page's files, built into the tool: "index.html", "studio.js",
// "studio.css"; empty for any other name.
#pragma once

#include <string>
#include <string_view>

std::string_view WebAsset(const std::string& name);
