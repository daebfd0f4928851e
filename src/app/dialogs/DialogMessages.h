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

// The preferences dialog (its messages are the model's, in BatchMessages.h).
inline constexpr const char* SnapshotGroup = "Snapshot";
inline constexpr const char* SnapFolderLabel = "Snapshot folder:";
inline constexpr const char* PrefBrows = "&Brows";
inline constexpr const char* PrefOpen = "&Open";
inline constexpr const char* FullSize = "Full Size";
inline constexpr const char* SmallSize = "Small Size";
inline constexpr const char* Bmp = "BMP";
inline constexpr const char* Jpg = "JPG";
inline constexpr const char* JpgQuality = "Jpg Compression Quality:";
inline constexpr const char* PriorityGroup = "Work priority";
inline constexpr const char* PriorityItems[] = {"Idle", "Normal", "Lower", "Lowest"};
inline constexpr const char* AtOnceLabel = "Conversions at once";
inline constexpr const char* AtOnceAuto = "Auto";
inline constexpr const char* PrefDefault = "&Default";
inline constexpr const char* PrefOk = "&Ok";
inline constexpr const char* PrefCancel = "&Cancel";

// The main window's hidden batch buttons.
inline constexpr const char* BatchPause = "Pause";
inline constexpr const char* BatchResume = "Resume";
inline constexpr const char* BatchStop = "Stop";
} // namespace dlgmsg
