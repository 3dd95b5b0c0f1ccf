// Texts handed to the host's script language inside a string literal.
#pragma once

#include <string>

// The text as a string literal that the script reads back as exactly that
// text: quotes, backslashes and line breaks escaped, in double quotes.
std::string ScriptString(const std::string& text);
