#pragma once

// Message texts of the transcoding engine, in one place so that tests can quote them.
namespace msg {
inline constexpr const char* NoOutputFile = "At least one output file must be specified";
inline constexpr const char* NoInputFile = "At least one input file must be specified";
} // namespace msg

namespace msg {
inline constexpr const char* UnknownCodec = "Unknown %s '%s'";
inline constexpr const char* InvalidCodecType = "Invalid %s type '%s'";
inline constexpr const char* ExperimentalCodec =
    "%s '%s' is experimental and might produce bad results.\r\nAdd '-strict experimental' if you "
    "want to use it.";
inline constexpr const char* NonExperimentalCodec = "Or use the non experimental %s '%s'.";
inline constexpr const char* EncoderAlias = "Encoder %s is not available, using %s";
} // namespace msg

namespace msg {
inline constexpr const char* DoNothing = "Do nothing: option - ";
inline constexpr const char* TodoOption = "TODO: option - ";
inline constexpr const char* UseVfiltersPad = "Please use vfilters=pad";
inline constexpr const char* PgmyuvDeprecated = "pgmyuv format is deprecated, use image2";
inline constexpr const char* TimelimitNotImplemented =
    "Warning: -timelimit not implemented on Windows";
inline constexpr const char* InvalidTimeSpec = "Invalid %s specification for %s: %s";
inline constexpr const char* TooManyStreamMaps = "Too many stream maps (at most %d)";
inline constexpr const char* TooManyMetaDataMaps = "Too many meta-data maps (at most %d)";
inline constexpr const char* StreamIndexOverMax = "stream index over MAX_STREAMS(%d)";
inline constexpr const char* MissingEquals = "Missing =";
inline constexpr const char* StreamIdSyntax =
    "Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"";
inline constexpr const char* BitrateTooLow =
    "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
inline constexpr const char* IncorrectFrameRate = "Incorrect frame rate";
inline constexpr const char* IncorrectFrameSize = "Incorrect frame size";
inline constexpr const char* IncorrectAspect = "Incorrect aspect ratio specification.";
inline constexpr const char* UnknownPixelFormat = "Unknown pixel format requested: %s";
inline constexpr const char* VerticalCrop =
    "Vertical crop dimensions are outside the range of the original image.\nRemember to crop "
    "first and scale second.";
inline constexpr const char* HorizontalCrop =
    "Horizontal crop dimensions are outside the range of the original image.\nRemember to crop "
    "first and scale second.";
inline constexpr const char* CropDeprecated = "CropXXX is deprecated in favor of the crop avfilter";
inline constexpr const char* QscaleRange = "qscale must be > 0.0 and <= 255";
inline constexpr const char* PassNumber = "pass number can be only 1 or 2";
inline constexpr const char* VideoTagLength = "video tag parameter must be 4 chars";
inline constexpr const char* AudioTagLength = "audio tag parameter must be 4 chars";
inline constexpr const char* SubtitleTagLength = "subtitle tag parameter must be 4 chars";
inline constexpr const char* MatrixSyntax = "Syntax error in matrix \"%s\" at coeff %d";
inline constexpr const char* UnknownBitstreamFilter = "Unknown bitstream filter %s";
inline constexpr const char* VhookAddFailed = "Failed to add video hook function: ";
} // namespace msg

namespace msg {
inline constexpr const char* PresetNotFound = "Preset \"%s\" not found";
inline constexpr const char* PresetSyntax = "%s: Invalid syntax: \"%s\"";
inline constexpr const char* PresetInvalidOption =
    "%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"";
inline constexpr const char* FrameRateInvalid = "frame_rate is invalid.";
inline constexpr const char* AssumingNorm = "Assuming %s for target.";
inline constexpr const char* UnknownTargetType = "Unknown target type";
inline constexpr const char* AssumingAspect43 = "Assuming 4:3 for aspect ratio";
inline constexpr const char* AssumingAspect169 = "Assuming 16:9 for aspect ratio";
inline constexpr const char* LegacyOptionIgnored =
    "Option %s=%s has no equivalent in these libraries (it applied to %s) and is ignored";
inline constexpr const char* LegacyOptionTranslated = "Option %s=%s is passed on as %s=%s";
// Frame-hook plug-ins: written to the library log.
inline constexpr const char* HookNoProcess = "Failed to find Process entrypoint in %s\n";
inline constexpr const char* HookNoConfigure = "Failed to find Configure entrypoint in %s\n";
inline constexpr const char* HookConfigureFailed = "Failed to Configure %s\n";
} // namespace msg
