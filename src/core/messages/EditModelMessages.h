#pragma once

// Captions, labels and messages of the conversion settings dialog and the file information
// window, shared by their edit models, the windows and the tests.
namespace editmsg {

// Conversion settings dialog.
inline constexpr const char* SettingsCaption = "Settings";
inline constexpr const char* VideoOptions = "Video Options";
inline constexpr const char* AudioOptions = "Audio Options";
inline constexpr const char* FrameSizeLabel = "Frame Size:";
inline constexpr const char* BitRateLabel = "BitRate (Kbps):";
inline constexpr const char* FrameRateLabel = "FrameRate (Fps):";
inline constexpr const char* EncoderLabel = "Encoder:";
inline constexpr const char* ZoomLabel = "Zoom:";
inline constexpr const char* SampleRateLabel = "SampleRate (Hz):";
inline constexpr const char* ChannelLabel = "Channel:";
inline constexpr const char* VolumeLabel = "Volume:";
inline constexpr const char* FormatBoxLabel = "Output format:";
inline constexpr const char* DefaultButton = "&Default";
inline constexpr const char* SettingsOkButton = "OK";
inline constexpr const char* CancelButton = "Cancel";
inline constexpr const char* ZoomFull = "Full screen";
inline constexpr const char* ZoomLetterbox = "Letterbox";
inline constexpr const char* ZoomPanScan = "Pan and Scan";

inline constexpr const char* EnterNumerical = "Please enter numerical.";
inline constexpr const char* VideoBitRateInvalid = "Video BitRate is not a valid value!";
inline constexpr const char* SampleRateInvalid = "Audio SampleRate is not a valid value!";
inline constexpr const char* AudioBitRateInvalid = "Audio BitRate is not a valid value!";
inline constexpr const char* FrameSizeInvalid = "Frame Size is not a valid value!";
// Followed directly by the corrected width "x" height.
inline constexpr const char* FrameSizeEven =
    "Frame Size must be a multiple of 2.\nThe correct value:";
inline constexpr const char* InputErrorCaption = "Input Error!";
inline constexpr const char* SettingsNotSaved = "The settings could not be saved: %s";

// File information window.
inline constexpr const char* FileInfoCaption = "File infomation";
inline constexpr const char* VideoGroup = "Video";
inline constexpr const char* AudioGroup = "Audio";
inline constexpr const char* FileNameLabel = "File Name:";
inline constexpr const char* DurationLabel = "Duration:";
inline constexpr const char* FormatLabel = "Format:";
inline constexpr const char* ResolutionLabel = "Resloution:";
inline constexpr const char* BitRateInfoLabel = "Bit Rate:";
inline constexpr const char* FrameRateInfoLabel = "Frame Rate:";
inline constexpr const char* TotalFrameLabel = "Total Frame:";
inline constexpr const char* SampleRateInfoLabel = "Sample Rate:";
inline constexpr const char* ChannelInfoLabel = "Channel:";
inline constexpr const char* OkButton = "&Ok";
// Duration as whole seconds "." milliseconds, then this.
inline constexpr const char* SecondSuffix = " Second";

} // namespace editmsg
