#pragma once

#include <string>

// A file path as the dialogs show it in a caption or label of limited width: the path itself
// when it has at most longest characters (code points, not bytes), else its first keep
// characters, "..", its extension (with the dot) and two blanks.
std::string ShortenedPath(const std::string& path, int longest, int keep);
