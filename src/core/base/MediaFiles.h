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

// The program's arguments (past the program's name) as absolute paths, byte for byte as the
// system gave them: a name that is not UTF-8 is kept, not decoded.
std::vector<std::string> CommandLinePaths(int argc, const char* const* argv);
// The local paths of a dropped "text/uri-list", percent escapes decoded to the bytes they
// stand for (any encoding); comments and addresses that are not local files are left out.
std::vector<std::string> LocalPathsOfUriList(const std::string& uriList);

} // namespace mediafiles
