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
