#include "OpticalDisc.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace {

// Mount points escape blanks, tabs, line feeds and backslashes as three octal digits.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() &&
            std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool Within(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") {
        return !path.empty() && path[0] == '/';
    }
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

} // namespace

bool IsOnOpticalDiscIn(const std::string& path, const std::string& mountInfo) {
    std::istringstream lines(mountInfo);
    std::string line;
    size_t bestLength = 0;
    bool optical = false;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields),
                                       std::istream_iterator<std::string>()};
        size_t dash = 0;
        while (dash < words.size() && words[dash] != "-") {
            ++dash;
        }
        if (words.size() < 5 || dash + 2 >= words.size()) {
            continue;
        }
        const std::string mountPoint = Unescape(words[4]);
        if (!Within(path, mountPoint) || mountPoint.size() < bestLength) {
            continue;
        }
        // Later lines mount over earlier ones at the same point.
        bestLength = mountPoint.size();
        const std::string& type = words[dash + 1];
        const std::string source = Unescape(words[dash + 2]);
        optical = type == "iso9660" || type == "udf" || source.compare(0, 7, "/dev/sr") == 0;
    }
    return optical;
}

bool IsOnOpticalDisc(const std::string& path) {
    std::error_code ec;
    const std::string real = std::filesystem::weakly_canonical(path, ec).string();
    std::ifstream table("/proc/self/mountinfo");
    const std::string text{std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>()};
    return IsOnOpticalDiscIn(ec ? path : real, text);
}
