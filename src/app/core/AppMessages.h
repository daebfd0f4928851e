#pragma once

// Message texts and captions of the application core, kept in one place so that tests can
// quote them.
namespace appmsg {
inline constexpr const char* WarningCaption = "Warning";
inline constexpr const char* FrameSizeQuestion =
    "Error output Video Size.Use the default size 320x240?";
// Followed by the folder, then by CreateDefaultFolder with the default folder.
inline constexpr const char* CannotCreateOutputFolder = "Cannot create output directory:";
inline constexpr const char* CreateDefaultFolder = ".It will create default directory %s!";

inline constexpr const char* IniWriteFailed = "Cannot write the settings file %s: %s";
inline constexpr const char* IniUnreadable =
    "Cannot read the settings file %s (%s); it is left unchanged";
inline constexpr const char* IniBadName = "Invalid INI section or key name \"%s\"";
inline constexpr const char* IniBadValue =
    "The value for key \"%s\" contains a line break and cannot be stored";
inline constexpr const char* CatalogInstallFailed = "Cannot install the format catalog %s: %s";
inline constexpr const char* CatalogNotFound = "The format catalog was not found";

// Watermark rendering; the conversion logs them after "Error occurs OnCustomHook: ".
inline constexpr const char* BitmapUnreadable = "Cannot read the bitmap file %s";
inline constexpr const char* TextNeedsGuiApplication =
    "Text watermarks cannot be drawn without the desktop program";
} // namespace appmsg
