#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One watermark item of a job. The watermark editor fills the rest of its fields (position,
// font, colours, transparency, timing) when it arrives.
struct TWmRec {
    std::string Text;
    std::string ImageFile;
};

// The job record behind one row of the job list: the source, its output name and the edits
// made in the trim, crop and watermark dialogs.
struct TlvFilesRecord {
    int AddOrder = 0; // position in the add dialog's selection
    std::string SourceFile;
    std::string OutputFile; // computed when the file was added
    int LengthSeconds = 0;
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
