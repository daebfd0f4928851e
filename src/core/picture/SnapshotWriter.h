#pragma once

#include "Bitmap24.h"

#include <string>
#include <vector>

class TSettings;

// Saves a snapshot of a picture into the snapshot folder ("SnapOutPutDir") under four fixed
// names, each written only when both of its flags are on: "Snapshot_full.bmp",
// "Snapshot_small.bmp", "Snapshot_full.jpg", "Snapshot_small.jpg" (JPEG at quality "jpgCmp").
// Every snapshot replaces the files of the previous one; each file is replaced whole.
class TSnapshotWriter {
public:
    // The small picture of the main window's preview panel.
    static constexpr int SmallWidth = 256;
    static constexpr int SmallHeight = 183;

    struct TResult {
        std::string Folder;               // with a trailing "/"
        std::vector<std::string> Written; // full paths, in the order above
        bool Ok = true;                   // false when a file could not be written
    };

    explicit TSnapshotWriter(TSettings& settings);

    // A snapshot folder that cannot be created is reported through Shell() and replaced by
    // the default folder, which is created and stored; the files go there. A file that cannot
    // be written is reported through Shell() as well. Nothing is written for an empty full
    // picture.
    TResult Save(const TBitmap24& full, const TBitmap24& small);
    // The main window's small picture: the full one stretched over the preview panel.
    static TBitmap24 SmallPicture(const TBitmap24& full);

private:
    std::string Folder();
    bool Write(const std::string& path, const std::string& bytes);

    TSettings& settings_;
};
