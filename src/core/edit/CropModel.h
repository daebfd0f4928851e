#pragma once

#include "JobRecord.h"

#include <cstdint>
#include <optional>
#include <string>

// A rectangle in the coordinates of the surface the crop rectangle lies on; Right and Bottom
// are exclusive.
struct TCropRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool Contains(const TCropRect& other) const {
        return other.Left >= Left && other.Top >= Top && other.Right() <= Right() &&
               other.Bottom() <= Bottom();
    }
    bool operator==(const TCropRect&) const = default;
};

// The four margins, in preview or in source pixels.
struct TCropMargins {
    int Up = 0;
    int Down = 0;
    int Left = 0;
    int Right = 0;
    bool operator==(const TCropMargins&) const = default;
};

enum class TCropSide { Up, Down, Left, Right };

// The edges a drag moves: one edge or a corner when resizing, all four when moving.
enum TDragEdges : unsigned {
    deLeft = 1,
    deTop = 2,
    deRight = 4,
    deBottom = 8,
    deMove = deLeft | deTop | deRight | deBottom,
};

// The crop dialog without its widgets: the picture rectangle P where the source is drawn in
// the preview, the crop rectangle over it with its four margins in preview pixels, the rules
// of dragging and of typing margins, and what OK stores in source pixels.
//
// Dragging: MouseDown when the button goes down, then MouseMove with the rectangle the tracker
// proposes for every move; the rectangle comes back corrected so that it never leaves P.
class TCropModel {
public:
    static constexpr int WindowWidth = 615;
    static constexpr int WindowHeight = 435;
    static constexpr int PreviewWidth = 370;
    static constexpr int PreviewHeight = 253;
    static constexpr std::uint32_t PreviewBackground = 0xA6CBF0; // red 166, green 203, blue 240
    static constexpr int NameLimit = 50;
    static constexpr int NameKeep = 44;
    // A rectangle this high (or wide) or less only lets its margins shrink.
    static constexpr int SmallestGrowing = 10;

    // Where a sw x sh picture is drawn when fitted into box, keeping its proportions.
    static TCropRect Fit(int sw, int sh, const TCropRect& box);
    // A preview margin in source pixels: scaled by source / picture size, rounded half to
    // even, made even.
    static int ToSourcePixels(int viewMargin, int sourceSize, int pictureSize);
    // The file as the source label shows it.
    static std::string SourceName(const std::string& path);
    // Rounded to whole seconds, "H:MM:SS" (hours not padded).
    static std::string ClockText(std::int64_t microseconds);
    // The hidden zoom selector: the item a record's mode selects (-1: none), and the mode an
    // item stores (nothing for no item).
    static int ZoomItem(const std::string& zoomMode);
    static std::optional<std::string> ZoomMode(int item);

    // A new opening: no file, no picture, every margin 0.
    void BeginOpen();
    // The player opened the file; without SetPicture it has no video to crop.
    void SetOpened() { opened_ = true; }
    bool Opened() const { return opened_; }
    // The source size and the preview box (in the tracker's coordinates): P is the fitted
    // picture, and the rectangle covers it.
    void SetPicture(int sourceWidth, int sourceHeight, const TCropRect& preview);
    bool HasPicture() const { return hasPicture_; }
    // The record's preview margins, placed as the rectangle.
    void LoadMargins(const TlvFilesRecord& record);

    const TCropRect& Picture() const { return picture_; }
    const TCropRect& Rect() const { return rect_; }
    const TCropMargins& Margins() const { return margins_; }
    int SourceWidth() const { return sourceWidth_; }
    int SourceHeight() const { return sourceHeight_; }
    // The largest value the spin edit of a side can take.
    int MarginLimit(TCropSide side) const;

    void MouseDown();
    TCropRect MouseMove(const TCropRect& proposed, unsigned edges);
    // A margin typed (or stepped) into its spin edit; returns the value the edit must show.
    int SetMargin(TCropSide side, int value);
    // "&Reset" and "&Default": every margin 0, the rectangle back to P.
    void Reset();

    TCropMargins SourceMargins() const;
    // Stores the margins in both units (and the zoom item's mode); false and no change when no
    // file was opened in this opening.
    bool Apply(TlvFilesRecord& record, int zoomItem) const;

private:
    void MarginsFromRect();
    void RectFromMargins();
    TCropRect ApplyDragRules(TCropRect r, unsigned edges) const;

    TCropRect picture_;
    TCropRect rect_;
    TCropMargins margins_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int downLeft_ = 0;
    int downTop_ = 0;
    bool hasPicture_ = false;
    bool opened_ = false;
};
