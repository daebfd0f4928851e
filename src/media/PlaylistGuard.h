#pragma once

#include "MediaUtils.h"

#include <string>

// Keeps the further files a playlist input opens (its entries) inside the playlist's own
// folder or below, judged by real paths, so that neither "../", another absolute path, a link
// pointing out nor a network address reaches further.
class TPlaylistGuard {
public:
    // Answers of CheckConcatPlaylist besides TMediaFile::ErrorEntryOutsideFolder and the codes
    // of entries that are no regular files: playlists nested too deeply (one naming itself,
    // say), and a playlist of a kind that opens its own entries (HLS and the like), whose
    // reader would not be checked.
    static constexpr int ErrorPlaylistNesting = MediaErrorTag('V', 'P', 'L', 'N');
    static constexpr int ErrorPlaylistKind = MediaErrorTag('V', 'P', 'L', 'K');

    // How deep concat playlists may name further concat playlists, and how many one input may
    // reach in all: a playlist naming itself is refused instead of opening without end.
    static constexpr int MaxNesting = 8;
    static constexpr int MaxPlaylists = 64;

    // The local file a library name stands for; empty for anything else (an address, a device).
    static std::string LocalPathOf(const std::string& libraryName);
    // Whether the local path entry lies in the folder of the local file input or below. An
    // entry that does not exist is judged by its folder; the open fails by itself.
    static bool InsideFolder(const std::string& input, const std::string& entry);

    // The error code for a local path that is a pipe, socket, folder or (unless they are
    // allowed) character device; 0 for a regular file, a block device or a missing path.
    static int SpecialKind(const std::string& path, bool characterDevicesAllowed = false);

    // Whether the regular file at path (as libraryName) is a concat playlist by the concat
    // reader's own probe. Anything that is no regular file is not read at all.
    static bool IsConcatPlaylist(const std::string& path, const std::string& libraryName);
    // Checks every file the concat playlist at path names, and the files of the concat
    // playlists it names in turn, before the libraries open any of them: their readers bypass
    // the opener that judges other playlists' entries. Returns 0 when every one may be
    // opened, else the error code for the first that may not, with refused set to it.
    static int CheckConcatPlaylist(const std::string& path, std::string& refused);

    // A format whitelist for a local input's readers. A concat playlist's own readers may not
    // be playlists of the kinds that open their entries themselves, unchecked; any other
    // input may not turn out to be a concat playlist.
    static std::string FormatWhitelist(bool concat);
};
