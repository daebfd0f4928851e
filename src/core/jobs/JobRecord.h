#pragma once

#include "SourceFacts.h"

#include <cstdint>
#include <string>
#include <vector>

// Font of a text watermark. The point size becomes pixels at 96 pixels per inch, in the editor
// that measures the text box and in the conversion that draws it.
struct TWaterMarkFont {
    static constexpr int Bold = 1;
    static constexpr int Italic = 2;
    static constexpr int Underline = 4;
    static constexpr int StrikeOut = 8;

    std::string Name;                 // face name; empty: the default face
    int Size = 26;                    // points
    int Style = 0;                    // Bold | Italic | Underline | StrikeOut
    std::uint32_t Color = 0x00FF0000; // 0x00BBGGRR (blue), or a system colour code
};

// One watermark item of a job, drawn into the source frames from StartSec to EndSec (whole
// seconds, both inclusive). A text item uses the text fields, an image item the image fields;
// the fields of the other kind are kept and ignored. Positions and sizes are source pixels.
struct TWmRec {
    static constexpr int TextItem = 0;
    static constexpr int ImageItem = 1;

    std::string Text;
    TWaterMarkFont Font;
    int TextLeft = 0;
    int TextTop = 0;
    int TextWidth = 0; // the text box as the editor measured it for Text in Font
    int TextHeight = 0;
    int TextOpacity = 255;                // 0..255, 255 opaque
    std::uint32_t BackColor = 0x00008000; // 0x00BBGGRR (green), or a system colour code
    bool HasBackColor = false;            // false: only the glyphs are drawn
    std::string ImageFile;                // a .bmp file
    int ImageLeft = 0;
    int ImageTop = 0;
    int ImageWidth = 0; // as placed in the editor; the conversion draws the file's own size
    int ImageHeight = 0;
    int ImageOpacity = 255; // 0..255
    int Kind = TextItem;
    int StartSec = 0;
    int EndSec = 0;
};

// What the probe found when a file was added: Start builds the conversion's options from it
// instead of opening every file again.
struct TProbedSource {
    bool Known = false;
    std::string Name; // as the probe names it
    std::string ForcedFormat;
    TSourceFacts Source;
    int Seconds = 0; // whole seconds of the file; 0 when unknown
};

// The job record behind one row of the job list: the source, its output name and the edits
// made in the trim, crop and watermark dialogs.
struct TlvFilesRecord {
    int AddOrder = 0; // position in the add dialog's selection
    std::string SourceFile;
    std::string OutputFile; // computed when the file was added
    int LengthSeconds = 0;
    TProbedSource Probed;
    std::int64_t TrimStart = 0;    // microseconds
    std::int64_t TrimLength = 0;   // microseconds; 0 = to the end
    std::string ZoomMode = "lbox"; // "full", "lbox", "pan" (or "center")
    // Crop margins in source pixels, even.
    int CropTop = 0;
    int CropLeft = 0;
    int CropBottom = 0;
    int CropRight = 0;
    // The same margins in the crop dialog's preview pixels, to restore the dialog.
    int CropUpView = 0;
    int CropLeftView = 0;
    int CropDownView = 0;
    int CropRightView = 0;
    std::vector<TWmRec> WaterMarks;
    int Brightness = 255; // neutral 255
    int Contrast = 0;     // neutral 0
    int Saturation = 255; // neutral 255
    int Exposure = 0;     // neutral 0
    bool ProcessText = false;
    bool ProcessImage = false;

    bool Cropped() const { return CropTop > 0 || CropLeft > 0 || CropBottom > 0 || CropRight > 0; }
};
