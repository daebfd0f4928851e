#pragma once

// Captions, labels and texts of the trim and crop dialogs, shared by their edit models, the
// windows and the tests.
namespace trimcropmsg {

// Trim dialog.
inline constexpr const char* TrimCaption = "Trim";
// Put before a shortened file name in the caption.
inline constexpr const char* TrimCaptionPrefix = "Trim   ";
inline constexpr const char* SetStart = "<- &Set Start";
inline constexpr const char* SetEnd = "Set &End ->";
inline constexpr const char* Reset = "&Reset";
inline constexpr const char* Ok = "Ok";
inline constexpr const char* Cancel = "Cancel";
inline constexpr const char* DurationPrefix = "Duration:    ";
inline constexpr const char* TimePrefix = "Time:    ";
inline constexpr const char* StartLabel = "Start:";
inline constexpr const char* EndLabel = "End:";
// What the mark boxes show right after a file opened, and the start box after Reset.
inline constexpr const char* MarksOpened = "0";
inline constexpr const char* StartReset = "00:00:00";
// The position label right after a file opened, and both labels after playing ended.
inline constexpr const char* PositionOpened = "0.0";
inline constexpr const char* TimeEnded = "00:00:00";
// "%.2d:%.2d:%.2d.%.3d" of hours, minutes, seconds and milliseconds.
inline constexpr const char* TimeFormat = "%.2lld:%.2lld:%.2lld.%.3lld";

// Crop dialog.
inline constexpr const char* CropCaption = "Crop";
inline constexpr const char* CropSize = "Crop Size";
inline constexpr const char* Up = "Up";
inline constexpr const char* Down = "Down";
inline constexpr const char* Left = "Left";
inline constexpr const char* Right = "Right";
inline constexpr const char* Default = "&Default";
inline constexpr const char* ZoomFull = "Full screen";
inline constexpr const char* ZoomLetterbox = "Letterbox";
// Hours (not padded), minutes and seconds: "1:02:03".
inline constexpr const char* ClockFormat = "%lld:%.2lld:%.2lld";

// Hints of the image buttons.
inline constexpr const char* PlayHint = "play";
inline constexpr const char* PauseHint = "pause";
inline constexpr const char* PlaySelectionHint = "play the marked part";

} // namespace trimcropmsg
