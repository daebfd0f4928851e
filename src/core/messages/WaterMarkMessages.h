#pragma once

// Captions, labels and messages of the watermark and effects editor, shared by its edit
// model, the dialog and the tests.
namespace wmmsg {

inline constexpr const char* Caption = "Water Mark";
// The caption is Caption + CaptionGap + the file path (or a shortened path + CaptionGap).
inline constexpr const char* CaptionGap = "  ";

inline constexpr const char* WaterMarkTab = "Watermark";
inline constexpr const char* EffectTab = "Effect";

inline constexpr const char* HorizontalLabel = "Horizontal Position:";
inline constexpr const char* VerticalLabel = "Vertical Position:";
inline constexpr const char* TransparencyLabel = "Transparency:";
inline constexpr const char* StartLabel = "Start time:";
inline constexpr const char* EndLabel = "End Time:";
inline constexpr const char* FontColorLabel = "Font Color:";
inline constexpr const char* FontLabel = "Font:";
inline constexpr const char* FontSizeLabel = "Font Size:";
inline constexpr const char* Bold = "Bold";
inline constexpr const char* Italic = "Italic";
inline constexpr const char* Underline = "Underline";
inline constexpr const char* StrikeOut = "Strikeout";
inline constexpr const char* BackgroundGroup = "Font background color";
inline constexpr const char* BackgroundColor = "Background color";
inline constexpr const char* Transparent = "Transparent";

inline constexpr const char* BrightnessLabel = "Brightness:";
inline constexpr const char* ContrastLabel = "Contrast:";
inline constexpr const char* SaturationLabel = "Saturation:";
inline constexpr const char* ExposureLabel = "Exposure:";
inline constexpr const char* Reset = "Reset";

inline constexpr const char* AddText = "Add Text";
inline constexpr const char* AddImage = "Add Image";
inline constexpr const char* Delete = "Delete";
inline constexpr const char* Up = "Up";
inline constexpr const char* Down = "Down";
inline constexpr const char* Play = "Play";
inline constexpr const char* Pause = "Pause";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Cancel = "Cancel";
inline constexpr const char* Help = "&Help";
inline constexpr const char* ListLabel = "Watermarks:";
// Names for assistive technology of the controls that show no caption of their own.
inline constexpr const char* PreviewName = "Preview";
inline constexpr const char* PositionName = "Position";
inline constexpr const char* TimeRangeName = "Shown from start to end time";
inline constexpr const char* StartLaterName = "Start time later";
inline constexpr const char* StartEarlierName = "Start time earlier";
inline constexpr const char* EndLaterName = "End time later";
inline constexpr const char* EndEarlierName = "End time earlier";

// The row of a new text item, before the person types its text.
inline constexpr const char* NewTextRow = "Add Text";
inline constexpr const char* ImageFilter = "Bitmap files (*.bmp)|*.bmp";
inline constexpr const char* ImageDialogTitle = "Open";

inline constexpr const char* DurationPrefix = "Duration:    ";
inline constexpr const char* TimePrefix = "Time:    ";
inline constexpr const char* NoTime = "0.0";

// Shown with appmsg::WarningCaption when an image file cannot be read as a bitmap.
inline constexpr const char* ImageUnreadable = "Cannot read the bitmap file %s";
inline constexpr const char* HelpLink = "https://vantre.example.org/help/watermark.html";

} // namespace wmmsg
