#pragma once

// Captions and messages of the small dialogs of the shell, in one place so tests can quote
// them.
namespace dlgmsg {
inline constexpr const char* DirectoryCaption = "Brows";
inline constexpr const char* DirectoryPrompt = "Please select an output directory:";
inline constexpr const char* DirectoryOk = "Ok";
inline constexpr const char* DirectoryCancel = "Cancel";
inline constexpr const char* CdRomFolder =
    "Output folder cannot be located in CD-ROM.Please select another folder.";
inline constexpr const char* HomeFolderNode = "Home";
inline constexpr const char* RootFolderNode = "File System";

inline constexpr const char* AboutCaption = "About";
inline constexpr const char* AboutOk = "&Ok";
inline constexpr const char* AboutLinkText = "Visit the web site";
inline constexpr const char* AboutDescription =
    "Converts video and audio files for portable players, phones, game consoles and the "
    "common video and audio formats.";

inline constexpr const char* SplashLoading = "Starting...";
} // namespace dlgmsg
