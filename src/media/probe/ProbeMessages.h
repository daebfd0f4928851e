#pragma once

// Message texts and report line forms of the media probe, kept in one place so that tests can
// quote them.
namespace probemsg {
inline constexpr const char* UnknownInputFormat = "Unknown input format: %s";
inline constexpr const char* NoCodecParameters = "%s: could not find codec parameters";
inline constexpr const char* FileNotLoaded = "file not loaded.";
inline constexpr const char* NoAudioStream = "no audio stream.";
inline constexpr const char* NoVideoStream = "no video stream.";
inline constexpr const char* InvalidStreamIndex = "stream index #%d is invalid.";
inline constexpr const char* NotAudioStream = "stream #%d is not audio stream.";
inline constexpr const char* NotVideoStream = "stream #%d is not video stream.";

// Lines of the description text.
inline constexpr const char* InfoFileName = "File Name: %s";
inline constexpr const char* InfoFormatName = "Format Name: %s";
inline constexpr const char* InfoFormatLongName = "Format Long Name: %s";
inline constexpr const char* InfoFileSize = "File Size: %s";
inline constexpr const char* InfoDuration = "Duration: %s";
inline constexpr const char* InfoStartTime = "StartTime: %d.%.6d";
inline constexpr const char* InfoBitRate = "Bit Rate: %d kb/s";
inline constexpr const char* InfoBitRateNA = "Bit Rate: N/A";
inline constexpr const char* InfoTimeStamp = "Time Stamp: %s";
inline constexpr const char* InfoProgram = "Program %d %s";
inline constexpr const char* InfoMetadata = "%sMetadata:";
inline constexpr const char* InfoMetadataTag = "%s  %-16s: %s";
inline constexpr const char* NotAvailable = "N/A";
inline constexpr const char* LineBreak = "\r\n";
inline constexpr const char* TimeStampForm = "yyyy-mm-dd hh:nn:ss";

// Pieces of a stream line.
inline constexpr const char* StreamIndex = "Stream #%d";
inline constexpr const char* StreamId = "[0x%x]";
inline constexpr const char* StreamLanguage = "(%s)";
inline constexpr const char* StreamTimeBase = ", %d/%d";
inline constexpr const char* StreamAspect = "%s, PAR %d:%d DAR %d:%d";
inline constexpr const char* StreamRateFraction = ", %3.2f %s";
inline constexpr const char* StreamRateWhole = ", %1.0f %s";
inline constexpr const char* StreamRateThousands = ", %1.0fk %s";
inline constexpr const char* StreamStartTime = ", StartTime: %d.%.6d";
inline constexpr const char* StreamDuration = ", Duration: %s";
} // namespace probemsg
