#pragma once

#include <string>
#include <vector>

// The file types the job list offers and takes.
namespace mediafiles {

// The add dialog's filter, "Description|patterns|Description|patterns...".
extern const char* const AddDialogFilter;

// Every extension the filter names (but "*.*"), lower case, without the dot.
const std::vector<std::string>& Extensions();
bool IsMediaFileName(const std::string& path);

// What dropping paths on the job list adds: files as given; for a folder, the media files
// inside it and its sub-folders, in name order (links to folders are not followed).
std::vector<std::string> ExpandDropped(const std::vector<std::string>& paths);

} // namespace mediafiles
