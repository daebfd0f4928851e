#include "ShortName.h"

#include <filesystem>

namespace {

bool StartsCodePoint(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

} // namespace

std::string ShortenedPath(const std::string& path, int longest, int keep) {
    int count = 0;
    size_t cut = path.size();
    for (size_t i = 0; i < path.size(); ++i) {
        if (StartsCodePoint(path[i])) {
            if (count == keep) {
                cut = i;
            }
            ++count;
        }
    }
    if (count <= longest) {
        return path;
    }
    return path.substr(0, cut) + ".." + std::filesystem::path(path).extension().string() + "  ";
}
