#pragma once

#include <string>
#include <utility>
#include <vector>

// Splits an ExtOptions text into (name, value) lines: blanks around the text trimmed, every
// line-break style and the literal "<CRLF>" end a line, names compared in lower case, a line
// without "=" is all name. Empty lines are skipped.
std::vector<std::pair<std::string, std::string>> ParseExtOptions(const std::string& text);
