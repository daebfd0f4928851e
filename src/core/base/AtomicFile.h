#pragma once

#include <string>

// Replaces the file at path with data: a temporary file in the same folder is written,
// flushed to disk and renamed over the old file, so a crash leaves either the old or the new
// content, never half of it. The temporary file is created exclusively and renamed over the
// name itself: a symbolic link standing there is replaced, never written through. A regular
// old file's permissions are kept. Returns 0, or the errno value of the step that failed, in
// which case the old file is untouched and no temporary file is left behind.
int ReplaceFileContent(const std::string& path, const std::string& data);
