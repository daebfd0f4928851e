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
// Why a settings file or catalog is not read.
inline constexpr const char* IniNotRegular = "not a regular file";
inline constexpr const char* IniTooLarge = "larger than 1 MiB";
inline constexpr const char* UnsuitableFileMoved =
    "The file %s cannot be read (%s); it was moved to %s and the defaults are used";
inline constexpr const char* UnsuitableFileKept =
    "The file %s cannot be read (%s) nor moved aside (%s); the defaults are used";
inline constexpr const char* IniBadName = "Invalid INI section or key name \"%s\"";
inline constexpr const char* IniBadValue =
    "The value for key \"%s\" contains a line break and cannot be stored";
inline constexpr const char* CatalogInstallFailed = "Cannot install the format catalog %s: %s";
inline constexpr const char* CatalogNotFound = "The format catalog was not found";
inline constexpr const char* CatalogDamagedReplaced =
    "The format catalog %s is damaged (%s); it was kept as %s and replaced by the program's";
inline constexpr const char* CatalogOlderReplaced =
    "The format catalog %s is older than the program's; it was kept as %s and replaced";
inline constexpr const char* CatalogSectionMissing = "section %s is missing";
inline constexpr const char* CatalogKeyMissing = "key %s of section %s is missing";

// Hardware encoders: the caption, the software encoder, why the hardware one is not there.
inline constexpr const char* HardwareFallback = "%s is not available (%s): converted with %s";
inline constexpr const char* NoRenderDevice = "no VAAPI render device";
inline constexpr const char* NotRenderDevice = "%s is not a render device";
inline constexpr const char* DeviceTrialFailed = "%s: %s";
inline constexpr const char* NvencNotLoaded = "the NVENC driver library is not installed";
inline constexpr const char* DeviceCannotOpen = "cannot open the device";
inline constexpr const char* DeviceNoLibraries = "the media libraries are not loaded";
// The width and height the conversion would make.
inline constexpr const char* Av1TooSmall =
    "AV1 pictures must be at least 64 x 64 pixels, this conversion would make %d x %d: choose a "
    "larger frame size";
// A batch whose format the catalog does not describe converts nothing.
inline constexpr const char* FormatNotInCatalog =
    "the output format %d is not in the format catalog";

// Watermark rendering; the conversion logs them after "Error occurs OnCustomHook: ".
inline constexpr const char* BitmapUnreadable = "Cannot read the bitmap file %s";
inline constexpr const char* TextNeedsGuiApplication =
    "Text watermarks cannot be drawn without the desktop program";

// vantre-convert's refusals of its arguments.
inline constexpr const char* SecondsOutOfRange = "%s takes a number of seconds from 0 to %.0f";
inline constexpr const char* OutputNotAFolder = "not a folder";
inline constexpr const char* ReportNotWritten = "the report could not be written";
inline constexpr const char* OutputNotWritable = "files cannot be created in this folder";
inline constexpr const char* OutputNotWritableBecause =
    "files cannot be created in this folder (%s)";
} // namespace appmsg
