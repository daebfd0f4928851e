#include "CropModel.h"

#include "MediaUtils.h"
#include "ShortName.h"
#include "TrimCropMessages.h"

#include <algorithm>
#include <cmath>

namespace {

// Round half to even, as the rounding of the preview arithmetic has always been.
int RoundEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

// The rectangle shrunk by two pixels on each side: the drag rules leave the rubber band's
// outline this much room before they act.
TCropRect Inner(const TCropRect& r) {
    return {r.Left + 2, r.Top + 2, r.Width - 4, r.Height - 4};
}

} // namespace

TCropRect TCropModel::Fit(int sw, int sh, const TCropRect& box) {
    if (sw <= 0 || sh <= 0 || box.Width <= 0 || box.Height <= 0) {
        return box;
    }
    const double a = static_cast<double>(sw) / box.Width;
    const double b = static_cast<double>(sh) / box.Height;
    if (a >= b) {
        const int c = RoundEven((box.Height - sh / a) / 2);
        return {box.Left, box.Top + c, box.Width, box.Height - 2 * c};
    }
    const int c = RoundEven((box.Width - sw / b) / 2);
    return {box.Left + c, box.Top, box.Width - 2 * c, box.Height};
}

int TCropModel::ToSourcePixels(int viewMargin, int sourceSize, int pictureSize) {
    double scaled = viewMargin;
    if (pictureSize > 0 && sourceSize != pictureSize) {
        scaled = static_cast<double>(viewMargin) * sourceSize / pictureSize;
    }
    return RoundEven(scaled) / 2 * 2;
}

std::string TCropModel::SourceName(const std::string& path) {
    return ShortenedPath(path, NameLimit, NameKeep);
}

std::string TCropModel::ClockText(std::int64_t microseconds) {
    const long long seconds = microseconds > 0 ? (microseconds + 500000) / 1000000 : 0;
    return Format(trimcropmsg::ClockFormat, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

int TCropModel::ZoomItem(const std::string& zoomMode) {
    if (zoomMode == "lbox") {
        return 1;
    }
    if (zoomMode == "orig" || zoomMode == "cent" || zoomMode == "center") {
        return -1;
    }
    return 0;
}

std::optional<std::string> TCropModel::ZoomMode(int item) {
    switch (item) {
    case 0:
        return std::string("full");
    case 1:
        return std::string("lbox");
    default:
        return std::nullopt;
    }
}

void TCropModel::BeginOpen() {
    *this = TCropModel();
}

void TCropModel::SetPicture(int sourceWidth, int sourceHeight, const TCropRect& preview) {
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    picture_ = Fit(sourceWidth, sourceHeight, preview);
    hasPicture_ = picture_.Width > 0 && picture_.Height > 0;
    margins_ = TCropMargins();
    rect_ = picture_;
    downLeft_ = rect_.Left;
    downTop_ = rect_.Top;
}

void TCropModel::LoadMargins(const TlvFilesRecord& record) {
    if (!hasPicture_) {
        return;
    }
    // Margins of another picture size (or a damaged record) still leave a rectangle inside P.
    margins_.Up = std::clamp(record.CropUpView, 0, picture_.Height - 1);
    margins_.Down = std::clamp(record.CropDownView, 0, picture_.Height - 1 - margins_.Up);
    margins_.Left = std::clamp(record.CropLeftView, 0, picture_.Width - 1);
    margins_.Right = std::clamp(record.CropRightView, 0, picture_.Width - 1 - margins_.Left);
    RectFromMargins();
}

int TCropModel::MarginLimit(TCropSide side) const {
    switch (side) {
    case TCropSide::Up:
        return std::max(0, picture_.Height - margins_.Down - 1);
    case TCropSide::Down:
        return std::max(0, picture_.Height - margins_.Up - 1);
    case TCropSide::Left:
        return std::max(0, picture_.Width - margins_.Right - 1);
    case TCropSide::Right:
        return std::max(0, picture_.Width - margins_.Left - 1);
    }
    return 0;
}

void TCropModel::MarginsFromRect() {
    margins_.Up = std::max(0, rect_.Top - picture_.Top);
    margins_.Down = std::max(0, picture_.Height + picture_.Top - rect_.Height - rect_.Top);
    margins_.Left = std::max(0, rect_.Left - picture_.Left);
    margins_.Right = std::max(0, picture_.Width + picture_.Left - rect_.Width - rect_.Left);
}

void TCropModel::RectFromMargins() {
    rect_.Left = picture_.Left + margins_.Left;
    rect_.Top = picture_.Top + margins_.Up;
    rect_.Width = picture_.Width - margins_.Right - margins_.Left;
    rect_.Height = picture_.Height - margins_.Down - margins_.Up;
    downLeft_ = rect_.Left;
    downTop_ = rect_.Top;
}

void TCropModel::MouseDown() {
    downLeft_ = rect_.Left;
    downTop_ = rect_.Top;
}

TCropRect TCropModel::ApplyDragRules(TCropRect r, unsigned edges) const {
    const TCropRect& p = picture_;
    const bool moving = edges == deMove;
    // 1. Past the left edge: back to the last accepted left margin. A resize of the left
    // edge keeps the right edge where it is.
    if (Inner(r).Left < p.Left + 3) {
        const int right = r.Right();
        r.Left = p.Left + margins_.Left;
        if (!moving && (edges & deLeft) != 0) {
            r.Width = right - r.Left;
        }
    }
    // 2. Past the top edge: the top goes to the picture's top (a resize keeps the bottom).
    if (Inner(r).Top < p.Top + 3) {
        const int bottom = r.Bottom();
        r.Top = p.Top;
        if (!moving && (edges & deTop) != 0) {
            r.Height = bottom - r.Top;
        }
    }
    // 3. The right edge being dragged stops at the picture's right edge. A move that ends
    // within the two pixels step 8 lets through stops there too, keeping its size.
    if (r.Right() > p.Right()) {
        if (!moving && (edges & deRight) != 0) {
            r.Width = p.Right() - r.Left;
        } else if (moving && Inner(r).Right() <= p.Right()) {
            r.Left = p.Right() - r.Width;
        }
    }
    // 4.
    if (r.Width > p.Width) {
        r.Width = p.Width - (r.Left - p.Left);
    }
    // 5. The same for the bottom edge.
    if (r.Bottom() > p.Bottom()) {
        if (!moving && (edges & deBottom) != 0) {
            r.Height = p.Bottom() - r.Top;
        } else if (moving && Inner(r).Bottom() <= p.Bottom()) {
            r.Top = p.Bottom() - r.Height;
        }
    }
    // 6.
    if (r.Height > p.Height) {
        r.Height = p.Height - (r.Top - p.Top);
    }
    // 7. Past the right and the bottom edge at once: back where the drag started.
    if (Inner(r).Right() - p.Left > p.Width && Inner(r).Bottom() - p.Top > p.Height) {
        r.Top = downTop_;
        r.Left = downLeft_;
        r.Width = p.Width - (r.Left - p.Left);
        r.Height = p.Height - (r.Top - p.Top);
    }
    // 8.
    if (Inner(r).Right() - p.Left > p.Width) {
        r.Left = downLeft_;
        r.Width = p.Width - (r.Left - p.Left);
    }
    // 9.
    if (Inner(r).Bottom() - p.Top > p.Height) {
        r.Top = downTop_;
        r.Height = p.Height - (r.Top - p.Top);
    }
    return r;
}

TCropRect TCropModel::MouseMove(const TCropRect& proposed, unsigned edges) {
    if (!hasPicture_) {
        return rect_;
    }
    TCropRect r = ApplyDragRules(proposed, edges);
    // A tracker that let the rectangle collapse or cross over still gets one inside P.
    r.Width = std::max(r.Width, 1);
    r.Height = std::max(r.Height, 1);
    r.Left = std::clamp(r.Left, picture_.Left, picture_.Right() - 1);
    r.Top = std::clamp(r.Top, picture_.Top, picture_.Bottom() - 1);
    r.Width = std::min(r.Width, picture_.Right() - r.Left);
    r.Height = std::min(r.Height, picture_.Bottom() - r.Top);
    rect_ = r;
    MarginsFromRect();
    return rect_;
}

int TCropModel::SetMargin(TCropSide side, int value) {
    if (!hasPicture_) {
        return 0;
    }
    const bool vertical = side == TCropSide::Up || side == TCropSide::Down;
    int& margin = side == TCropSide::Up     ? margins_.Up
                  : side == TCropSide::Down ? margins_.Down
                  : side == TCropSide::Left ? margins_.Left
                                            : margins_.Right;
    const int extent = vertical ? rect_.Height : rect_.Width;
    if (extent <= SmallestGrowing && value >= margin) {
        value = margin;
    }
    // Never so large that nothing is left of the picture.
    value = std::clamp(value, 0, MarginLimit(side));
    margin = value;
    RectFromMargins();
    return value;
}

void TCropModel::Reset() {
    if (!hasPicture_) {
        return;
    }
    margins_ = TCropMargins();
    RectFromMargins();
}

TCropMargins TCropModel::SourceMargins() const {
    if (!hasPicture_) {
        return {};
    }
    return {ToSourcePixels(margins_.Up, sourceHeight_, picture_.Height),
            ToSourcePixels(margins_.Down, sourceHeight_, picture_.Height),
            ToSourcePixels(margins_.Left, sourceWidth_, picture_.Width),
            ToSourcePixels(margins_.Right, sourceWidth_, picture_.Width)};
}

bool TCropModel::Apply(TlvFilesRecord& record, int zoomItem) const {
    if (!opened_) {
        return false;
    }
    const TCropMargins view = hasPicture_ ? margins_ : TCropMargins();
    record.CropUpView = view.Up;
    record.CropLeftView = view.Left;
    record.CropDownView = view.Down;
    record.CropRightView = view.Right;
    const TCropMargins source = SourceMargins();
    record.CropTop = source.Up;
    record.CropBottom = source.Down;
    record.CropLeft = source.Left;
    record.CropRight = source.Right;
    if (const auto mode = ZoomMode(zoomItem)) {
        record.ZoomMode = *mode;
    }
    return true;
}
