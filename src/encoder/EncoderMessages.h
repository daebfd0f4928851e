#pragma once

// Message texts of the encoder component.
namespace encodermsg {
inline constexpr const char* CannotWhileWorking = "Cannot %s while working.";
inline constexpr const char* MaxOutputFiles = "max output files %d reached";
inline constexpr const char* InvalidTaskIndex = "task index %d is invalid";
inline constexpr const char* EncoderVersion = "3.3";
} // namespace encodermsg
