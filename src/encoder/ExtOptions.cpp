#include "ExtOptions.h"

#include "MediaUtils.h"

std::vector<std::pair<std::string, std::string>> ParseExtOptions(const std::string& text) {
    std::string normal;
    normal.reserve(text.size());
    const std::string trimmed = Trim(text);
    for (size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        if (c == '\r') {
            normal += '\n';
            if (i + 1 < trimmed.size() && trimmed[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '<' && trimmed.compare(i, 6, "<CRLF>") == 0) {
            normal += '\n';
            i += 5;
        } else {
            normal += c;
        }
    }
    std::vector<std::pair<std::string, std::string>> lines;
    for (const std::string& line : SplitText(normal, '\n')) {
        if (Trim(line).empty()) {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            lines.emplace_back(LowerCase(Trim(line)), std::string());
        } else {
            lines.emplace_back(LowerCase(Trim(line.substr(0, eq))), line.substr(eq + 1));
        }
    }
    return lines;
}
