#pragma once

// Message texts of the media foundation, kept in one place so that tests can quote them.
namespace mediamsg {
inline constexpr const char* LoadLibraryError = "Load library %s error: %s";
inline constexpr const char* LoadFunctionError = "Load function %s@%s error: %s";
inline constexpr const char* LoadVariableError = "Load variable %s@%s error: %s";
inline constexpr const char* SecondLogger = "Allow creating only one instance of TFFLogger.";
inline constexpr const char* NotAnInteger = "'%s' is not a valid integer value";
inline constexpr const char* NotAFloat = "'%s' is not a valid floating point value";
inline constexpr const char* InvalidOptionValue = "Invalid value \"%s\" for option \"%s\"\n";
inline constexpr const char* LibAVCodecNotLoaded = "LibAVCodec not loaded.";
inline constexpr const char* LibAVFormatNotLoaded = "LibAVFormat not loaded.";
inline constexpr const char* LibAVUtilNotLoaded = "LibAVUtil not loaded.";
inline constexpr const char* LibSwScaleNotLoaded = "LibSwScale not loaded.";
// A playlist input's entry that lies outside the playlist's folder (or is no local file).
inline constexpr const char* EntryOutsideFolder = "%s refers to %s, outside its folder: refused\n";
// A concat playlist's entry refused for another reason: a pipe or device, a playlist of
// another kind, playlists nested too deeply.
inline constexpr const char* EntryRefused = "%s refers to %s: %s\n";
} // namespace mediamsg
