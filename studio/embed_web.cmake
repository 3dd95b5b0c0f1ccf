# Writes OUT: the page's files (FILES, in DIR) as string constants, found
# by name through WebAsset().
set(body "// Generated from studio/web; edit those files.\n#include \"studio/web_assets.h\"\n\n#include <map>\n#include <string>\n\nstd::string_view WebAsset(const std::string& name) {\n    static const std::map<std::string, std::string_view> assets = {\n")
foreach(f IN LISTS FILES)
  file(READ "${DIR}/${f}" content)
  string(FIND "${content}" ")VLWEB\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${f} holds the literal's end marker")
  endif()
  string(APPEND body "        {\"${f}\", R\"VLWEB(${content})VLWEB\"},\n")
endforeach()
string(APPEND body "    };\n    const auto it = assets.find(name);\n    return it != assets.end() ? it->second : std::string_view();\n}\n")
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
