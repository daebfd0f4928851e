#include "WaterMarkModel.h"

#include "AppMessages.h"
#include "BitmapImage.h"
#include "LayerGeometry.h"
#include "MediaUtils.h"
#include "PictureEffects.h"
#include "ShellServices.h"
#include "WaterMarkColorList.h"
#include "WaterMarkLayerPicture.h"
#include "WaterMarkMessages.h"
#include "WaterMarkText.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QString>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::int64_t MicrosecondsPerSecond = 1000000;
constexpr int CaptionPathLimit = 56;
constexpr int CaptionPathKept = 50;
constexpr int MaxBrightness = 512;
constexpr int MinContrast = -100;
constexpr int MaxContrast = 100;
constexpr int MaxSaturation = 512;
constexpr int MinExposure = -255;
constexpr int MaxExposure = 512;
constexpr int MaxOpacity = 255;

int WholeSeconds(std::int64_t microseconds) {
    return static_cast<int>(std::clamp<std::int64_t>(microseconds / MicrosecondsPerSecond, 0,
                                                     std::numeric_limits<int>::max()));
}

bool Blank(const std::string& text) {
    return Trim(text).empty();
}

} // namespace

TWaterMarkModel::TWaterMarkModel(std::vector<std::string> fontNames)
    : fontNames_(std::move(fontNames)) {}

std::vector<std::string> TWaterMarkModel::InstalledFonts() {
    std::vector<std::string> names;
    for (const QString& family : QFontDatabase::families()) {
        // A family several foundries supply is listed once per foundry, "C059 [urw]": the
        // text renderer takes the family name alone, so the list shows it once.
        QString name = family;
        const qsizetype bracket = name.lastIndexOf(" [");
        if (bracket > 0 && name.endsWith(']')) {
            name.truncate(bracket);
        }
        const std::string plain = name.toStdString();
        if (std::find(names.begin(), names.end(), plain) == names.end()) {
            names.push_back(plain);
        }
    }
    return names;
}

std::vector<std::string> TWaterMarkModel::FontSizes() {
    std::vector<std::string> sizes;
    for (int size = TWaterMarkControls::MinFontSize; size <= TWaterMarkControls::MaxFontSize;
         ++size) {
        sizes.push_back(std::to_string(size));
    }
    return sizes;
}

std::string TWaterMarkModel::Caption(const std::string& path) {
    const QString text = QString::fromStdString(path);
    std::string caption = std::string(wmmsg::Caption) + wmmsg::CaptionGap;
    if (text.size() < CaptionPathLimit) {
        return caption + path;
    }
    const QString suffix = QFileInfo(text).suffix();
    const QString extension = suffix.isEmpty() ? QString() : "." + suffix;
    return caption + (text.left(CaptionPathKept) + ".." + extension).toStdString() +
           wmmsg::CaptionGap;
}

std::string TWaterMarkModel::RangeText(int seconds) {
    seconds = std::max(seconds, 0);
    return Format("%d:%.2d:%.2d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

void TWaterMarkModel::SetOnChanged(std::function<void(unsigned)> handler) {
    onChanged_ = std::move(handler);
}

void TWaterMarkModel::Notify(unsigned changes) {
    if (onChanged_ && changes != 0) {
        onChanged_(changes);
    }
}

void TWaterMarkModel::Open(const TlvFilesRecord& job, std::int64_t estimatedDuration) {
    rows_.clear();
    selectedRow_ = -1;
    layerSelected_ = false;
    opened_ = false;
    stored_ = job.WaterMarks;
    lastFrame_.Clear();
    basePicture_ = QImage();
    lastPts_ = -1;

    controls_ = TWaterMarkControls();
    controls_.Adjustments = {std::clamp(job.Brightness, 0, MaxBrightness),
                             std::clamp(job.Contrast, MinContrast, MaxContrast),
                             std::clamp(job.Saturation, 0, MaxSaturation),
                             std::clamp(job.Exposure, MinExposure, MaxExposure)};
    // The controls of a new list (the editor always starts with an empty one).
    controls_.FontName = fontNames_.empty() ? std::string() : fontNames_.front();
    controls_.FontSize = TWaterMarkControls::DefaultFontSize;
    controls_.FontColor = WaterMarkColorList()[WaterMarkDefaultFontColorIndex].Value;
    controls_.BackColor = WaterMarkColorList()[WaterMarkDefaultBackColorIndex].Value;
    controls_.Transparency = TWaterMarkControls::DefaultTransparency;
    controls_.HasBackColor = true;

    sourceDuration_ = estimatedDuration;
    hook_.SetCrop({job.CropLeft, job.CropTop, job.CropRight, job.CropBottom});
    hook_.SetAdjustments(controls_.Adjustments);
    Notify(wmAll);
}

void TWaterMarkModel::FileOpened(std::int64_t duration, int frameWidth, int frameHeight) {
    sourceDuration_ = duration;
    frameWidth_ = std::max(frameWidth, 0);
    frameHeight_ = std::max(frameHeight, 0);
    controls_.RangeMax = WholeSeconds(duration);
    controls_.Start = 0;
    controls_.End = controls_.RangeMax;
    controls_.HorizontalMax = frameWidth_;
    controls_.VerticalMax = frameHeight_;
    controls_.Horizontal = std::min(controls_.Horizontal, frameWidth_);
    controls_.Vertical = std::min(controls_.Vertical, frameHeight_);
    RebuildRows();
    opened_ = true;
    controls_.PositionEnabled = !rows_.empty();
    if (!rows_.empty()) {
        SelectRow(Count() - 1);
    }
    Notify(wmAll);
}

void TWaterMarkModel::RebuildRows() {
    rows_.clear();
    selectedRow_ = -1;
    layerSelected_ = false;
    std::vector<std::string> unreadable;
    for (const TWmRec& stored : stored_) {
        TWmItemRec item;
        static_cast<TWmRec&>(item) = stored;
        item.Id = nextId_++;
        if (stored.Kind == TWmRec::TextItem) {
            if (Blank(stored.Text)) {
                continue; // nothing to draw, nothing to edit
            }
            QSize box(stored.TextWidth, stored.TextHeight);
            if (box.isEmpty()) {
                box = WaterMarkTextExtent(stored.Text, stored.Font);
            }
            item.Layer.Picture = WaterMarkTextPicture(stored.Text, stored.Font, stored.HasBackColor,
                                                      stored.BackColor, box);
            item.Layer.Rect = QRectF(QPointF(stored.TextLeft, stored.TextTop), box);
            item.Layer.Opacity = stored.TextOpacity;
        } else if (stored.Kind == TWmRec::ImageItem) {
            if (stored.ImageFile.empty()) {
                continue;
            }
            QSize size(stored.ImageWidth, stored.ImageHeight);
            try {
                item.Layer.Picture = WaterMarkImagePicture(stored.ImageFile);
                if (size.isEmpty()) {
                    size = item.Layer.Picture.size();
                }
            } catch (const std::exception&) {
                unreadable.push_back(stored.ImageFile);
            }
            item.Layer.Rect = QRectF(QPointF(stored.ImageLeft, stored.ImageTop), size);
            item.Layer.Opacity = stored.ImageOpacity;
            item.ImageOpacity = controls_.Transparency;
        } else {
            continue;
        }
        rows_.push_back(std::move(item));
    }
    for (const std::string& path : unreadable) {
        Shell().MessageBox(Format(wmmsg::ImageUnreadable, path.c_str()), appmsg::WarningCaption,
                           TMsgIcon::Warning, TMsgButtons::Ok);
    }
}

int TWaterMarkModel::RowOfId(int id) const {
    for (int row = 0; row < Count(); ++row) {
        if (rows_[static_cast<size_t>(row)].Id == id) {
            return row;
        }
    }
    return -1;
}

void TWaterMarkModel::SelectRow(int row) {
    if (row < 0 || row >= Count()) {
        return;
    }
    selectedRow_ = row;
    layerSelected_ = true;
    ShowItem(row);
    Notify(wmSelection | wmControls | wmLayers);
}

void TWaterMarkModel::ClearLayerSelection() {
    if (!layerSelected_) {
        return;
    }
    layerSelected_ = false;
    Notify(wmSelection);
}

// The controls show the item; the item keeps its own times even where the range limits them.
void TWaterMarkModel::ShowItem(int row) {
    SetHorizontal(RoundPixel(Row(row).Layer.Rect.left()));
    SetVertical(RoundPixel(Row(row).Layer.Rect.top()));
    SetTransparency(Row(row).Layer.Opacity);
    const TWmItemRec& item = Row(row);
    controls_.End = std::clamp(item.EndSec, 0, controls_.RangeMax);
    controls_.Start = std::clamp(item.StartSec, 0, std::max(controls_.End - 1, 0));
    controls_.StartText = RangeText(item.StartSec);
    controls_.EndText = RangeText(item.EndSec);
    if (item.Kind == TWmRec::TextItem) {
        controls_.FontColor = item.Font.Color;
        controls_.BackColor = item.BackColor;
        controls_.FontSize = item.Font.Size;
        controls_.FontName = item.Font.Name;
        controls_.FontStyle = item.Font.Style;
        controls_.HasBackColor = item.HasBackColor;
        controls_.FontControlsEnabled = true;
        controls_.BackColorEnabled = item.HasBackColor;
    } else {
        controls_.FontControlsEnabled = false;
        controls_.BackColorEnabled = false;
    }
}

TWmItemRec TWaterMarkModel::NewItem(int kind) {
    TWmItemRec item;
    item.Id = nextId_++;
    item.Kind = kind;
    item.StartSec = 0;
    item.EndSec = static_cast<int>(sourceDuration_ / MicrosecondsPerSecond);
    item.Layer.Opacity = controls_.Transparency;
    return item;
}

void TWaterMarkModel::CentreLayer(TWmItemRec& item, QPointF centre) const {
    const QSizeF size = item.Layer.Picture.size();
    item.Layer.Rect = QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2,
                             size.width(), size.height());
}

int TWaterMarkModel::AddText(QPointF centre) {
    if (!opened_) {
        return -1; // OK would keep the stored list, and this item would be lost
    }
    TWmItemRec item = NewItem(TWmRec::TextItem);
    item.Text = wmmsg::NewTextRow;
    item.Font = {controls_.FontName, controls_.FontSize, controls_.FontStyle, controls_.FontColor};
    item.BackColor = controls_.BackColor;
    item.HasBackColor = false; // a new text starts transparent, whatever was chosen before
    item.TextOpacity = controls_.Transparency;
    item.Layer.Picture = WaterMarkTextPicture(item.Text, item.Font, false, item.BackColor);
    CentreLayer(item, centre);
    item.TextLeft = RoundPixel(item.Layer.Rect.left());
    item.TextTop = RoundPixel(item.Layer.Rect.top());
    item.TextWidth = RoundPixel(item.Layer.Rect.width());
    item.TextHeight = RoundPixel(item.Layer.Rect.height());
    rows_.push_back(std::move(item));
    controls_.PositionEnabled = true;
    Notify(wmRows);
    SelectRow(Count() - 1);
    return Count() - 1;
}

int TWaterMarkModel::AddImage(QPointF centre) {
    if (!opened_) {
        return -1;
    }
    const std::string path = Shell().OpenFile(wmmsg::ImageDialogTitle, wmmsg::ImageFilter, "");
    if (path.empty()) {
        return -1;
    }
    return AddImageFile(path, centre);
}

int TWaterMarkModel::AddImageFile(const std::string& path, QPointF centre) {
    if (!opened_) {
        return -1;
    }
    TWmItemRec item = NewItem(TWmRec::ImageItem);
    item.ImageFile = path;
    try {
        item.Layer.Picture = WaterMarkImagePicture(path);
    } catch (const std::exception&) {
        Shell().MessageBox(Format(wmmsg::ImageUnreadable, path.c_str()), appmsg::WarningCaption,
                           TMsgIcon::Warning, TMsgButtons::Ok);
        return -1;
    }
    CentreLayer(item, centre);
    item.ImageLeft = RoundPixel(item.Layer.Rect.left());
    item.ImageTop = RoundPixel(item.Layer.Rect.top());
    item.ImageWidth = RoundPixel(item.Layer.Rect.width());
    item.ImageHeight = RoundPixel(item.Layer.Rect.height());
    item.ImageOpacity = controls_.Transparency;
    rows_.push_back(std::move(item));
    controls_.PositionEnabled = true;
    Notify(wmRows);
    SelectRow(Count() - 1);
    return Count() - 1;
}

bool TWaterMarkModel::SelectedText() const {
    return layerSelected_ && Row(selectedRow_).Kind == TWmRec::TextItem;
}

void TWaterMarkModel::SetRowText(const std::string& text) {
    if (selectedRow_ < 0 || Row(selectedRow_).Kind != TWmRec::TextItem) {
        return;
    }
    rows_[static_cast<size_t>(selectedRow_)].Text = text;
    Notify(wmRows);
    RedrawText();
}

// A new picture for the selected text layer at its place, in the font and colours of the
// controls and the style and background of the item. A blank text keeps the old picture.
void TWaterMarkModel::RedrawText() {
    if (!SelectedText()) {
        return;
    }
    TWmItemRec& item = rows_[static_cast<size_t>(selectedRow_)];
    if (Blank(item.Text)) {
        return;
    }
    item.Font.Name = controls_.FontName;
    item.Font.Size = controls_.FontSize;
    const TWaterMarkFont font{controls_.FontName, controls_.FontSize, item.Font.Style,
                              controls_.FontColor};
    item.Layer.Picture =
        WaterMarkTextPicture(item.Text, font, item.HasBackColor, controls_.BackColor);
    item.Layer.Rect.setSize(item.Layer.Picture.size());
    Notify(wmLayers);
}

void TWaterMarkModel::Delete() {
    if (selectedRow_ < 0) {
        return;
    }
    rows_.erase(rows_.begin() + selectedRow_);
    const int next = selectedRow_ > 0 ? selectedRow_ - 1 : 0;
    selectedRow_ = -1;
    layerSelected_ = false;
    controls_.PositionEnabled = !rows_.empty();
    Notify(wmRows | wmLayers | wmSelection | wmControls);
    SelectRow(next);
}

bool TWaterMarkModel::CanMoveUp() const {
    return layerSelected_ && selectedRow_ > 0;
}

bool TWaterMarkModel::CanMoveDown() const {
    return layerSelected_ && selectedRow_ >= 0 && selectedRow_ < Count() - 1;
}

void TWaterMarkModel::MoveUp() {
    if (!CanMoveUp()) {
        return;
    }
    std::swap(rows_[static_cast<size_t>(selectedRow_)],
              rows_[static_cast<size_t>(selectedRow_ - 1)]);
    --selectedRow_;
    Notify(wmRows | wmLayers | wmSelection);
}

void TWaterMarkModel::MoveDown() {
    if (!CanMoveDown()) {
        return;
    }
    std::swap(rows_[static_cast<size_t>(selectedRow_)],
              rows_[static_cast<size_t>(selectedRow_ + 1)]);
    ++selectedRow_;
    Notify(wmRows | wmLayers | wmSelection);
}

void TWaterMarkModel::SetLayerRect(int row, const QRectF& rect) {
    if (row < 0 || row >= Count() || rect.isEmpty()) {
        return;
    }
    rows_[static_cast<size_t>(row)].Layer.Rect = rect;
    Notify(wmLayers);
}

void TWaterMarkModel::MouseOverView() {
    if (!layerSelected_) {
        return;
    }
    const QRectF rect = Row(selectedRow_).Layer.Rect;
    SetHorizontal(RoundPixel(rect.left()));
    SetVertical(RoundPixel(rect.top()));
}

// The slider moves the layer only while the layer's rounded left lies in the slider's range,
// so a layer pushed partly out of the picture stays where it was put.
void TWaterMarkModel::MoveSelectedLeft(int left) {
    if (!layerSelected_) {
        return;
    }
    QRectF& rect = rows_[static_cast<size_t>(selectedRow_)].Layer.Rect;
    const int current = RoundPixel(rect.left());
    if (current < 0 || current > controls_.HorizontalMax) {
        return;
    }
    rect.moveLeft(left);
    Notify(wmLayers);
}

void TWaterMarkModel::MoveSelectedTop(int top) {
    if (!layerSelected_) {
        return;
    }
    QRectF& rect = rows_[static_cast<size_t>(selectedRow_)].Layer.Rect;
    const int current = RoundPixel(rect.top());
    if (current < 0 || current > controls_.VerticalMax) {
        return;
    }
    rect.moveTop(top);
    Notify(wmLayers);
}

void TWaterMarkModel::SetHorizontal(int value) {
    value = std::clamp(value, 0, controls_.HorizontalMax);
    if (value == controls_.Horizontal) {
        return;
    }
    controls_.Horizontal = value;
    Notify(wmControls);
    MoveSelectedLeft(value);
}

void TWaterMarkModel::SetVertical(int value) {
    value = std::clamp(value, 0, controls_.VerticalMax);
    if (value == controls_.Vertical) {
        return;
    }
    controls_.Vertical = value;
    Notify(wmControls);
    MoveSelectedTop(value);
}

void TWaterMarkModel::SetTransparency(int value) {
    controls_.Transparency = std::clamp(value, 0, MaxOpacity);
    if (layerSelected_) {
        rows_[static_cast<size_t>(selectedRow_)].Layer.Opacity = controls_.Transparency;
    }
    Notify(wmControls | wmLayers);
}

void TWaterMarkModel::SetStart(int value) {
    // The start stays at least a second before the end.
    controls_.Start = std::clamp(value, 0, std::max(controls_.End - 1, 0));
    if (layerSelected_) {
        TWmItemRec& item = rows_[static_cast<size_t>(selectedRow_)];
        item.StartSec = controls_.Start;
        item.EndSec = controls_.End;
    }
    controls_.StartText = RangeText(controls_.Start);
    controls_.EndText = RangeText(controls_.End);
    UpdateVisibility();
    Notify(wmControls | wmLayers);
}

void TWaterMarkModel::SetEnd(int value) {
    controls_.End =
        std::clamp(value, std::min(controls_.Start + 1, controls_.RangeMax), controls_.RangeMax);
    SetStart(controls_.Start);
}

void TWaterMarkModel::SetFontName(const std::string& name) {
    controls_.FontName = name;
    if (SelectedText()) {
        rows_[static_cast<size_t>(selectedRow_)].Font.Name = name;
    }
    Notify(wmControls);
    RedrawText();
}

void TWaterMarkModel::SetFontSize(int points) {
    controls_.FontSize =
        std::clamp(points, TWaterMarkControls::MinFontSize, TWaterMarkControls::MaxFontSize);
    if (SelectedText()) {
        rows_[static_cast<size_t>(selectedRow_)].Font.Size = controls_.FontSize;
    }
    Notify(wmControls);
    RedrawText();
    MoveSelectedLeft(controls_.Horizontal);
}

void TWaterMarkModel::SetFontStyle(int bit, bool on) {
    controls_.FontStyle = on ? (controls_.FontStyle | bit) : (controls_.FontStyle & ~bit);
    if (SelectedText()) {
        TWaterMarkFont& font = rows_[static_cast<size_t>(selectedRow_)].Font;
        font.Style = on ? (font.Style | bit) : (font.Style & ~bit);
    }
    Notify(wmControls);
    RedrawText();
}

void TWaterMarkModel::SetFontColor(std::uint32_t color) {
    controls_.FontColor = color;
    if (SelectedText()) {
        rows_[static_cast<size_t>(selectedRow_)].Font.Color = color;
    }
    Notify(wmControls);
    RedrawText();
}

void TWaterMarkModel::SetBackColor(std::uint32_t color) {
    controls_.BackColor = color;
    if (SelectedText()) {
        rows_[static_cast<size_t>(selectedRow_)].BackColor = color;
    }
    Notify(wmControls);
    RedrawText();
}

void TWaterMarkModel::SetHasBackColor(bool hasBackColor) {
    controls_.HasBackColor = hasBackColor;
    controls_.BackColorEnabled = hasBackColor;
    if (SelectedText()) {
        rows_[static_cast<size_t>(selectedRow_)].HasBackColor = hasBackColor;
    }
    Notify(wmControls);
    RedrawText();
}

void TWaterMarkModel::SetBrightness(int value) {
    controls_.Adjustments.Brightness = std::clamp(value, 0, MaxBrightness);
    AdjustmentsChanged();
}

void TWaterMarkModel::SetContrast(int value) {
    controls_.Adjustments.Contrast = std::clamp(value, MinContrast, MaxContrast);
    AdjustmentsChanged();
}

void TWaterMarkModel::SetSaturation(int value) {
    controls_.Adjustments.Saturation = std::clamp(value, 0, MaxSaturation);
    AdjustmentsChanged();
}

void TWaterMarkModel::SetExposure(int value) {
    controls_.Adjustments.Exposure = std::clamp(value, MinExposure, MaxExposure);
    AdjustmentsChanged();
}

void TWaterMarkModel::ResetAdjustments() {
    controls_.Adjustments = TWaterMarkAdjustments();
    AdjustmentsChanged();
}

void TWaterMarkModel::AdjustmentsChanged() {
    hook_.SetAdjustments(controls_.Adjustments);
    Notify(wmControls);
    if (paused_) {
        Rerender();
    }
}

// The last frame as the hook would render it now, for a paused player shows nothing new.
void TWaterMarkModel::Rerender() {
    if (lastFrame_.Empty()) {
        return;
    }
    TBitmap24 frame = lastFrame_;
    RenderPreviewFrame(frame, hook_.Crop(), controls_.Adjustments);
    basePicture_ = ImageFromBitmap(frame);
    Notify(wmPicture);
}

void TWaterMarkModel::TakePreview() {
    std::optional<TWaterMarkPreviewHook::TPicture> picture = hook_.Take();
    if (!picture) {
        return;
    }
    lastFrame_ = std::move(picture->Received);
    lastPts_ = picture->Pts;
    basePicture_ = ImageFromBitmap(picture->Shown);
    UpdateVisibility();
    Notify(wmPicture | wmLayers);
}

void TWaterMarkModel::UpdateVisibility() {
    if (lastPts_ < 0) {
        return;
    }
    for (TWmItemRec& item : rows_) {
        item.Layer.Visible = WaterMarkItemActive(item, lastPts_);
    }
}

void TWaterMarkModel::SetPaused(bool paused) {
    paused_ = paused;
}

void TWaterMarkModel::ForgetLastFrame() {
    lastFrame_.Clear();
}

void TWaterMarkModel::Store(TlvFilesRecord& job) const {
    if (opened_) {
        job.WaterMarks.resize(rows_.size());
        for (size_t i = 0; i < rows_.size(); ++i) {
            const TWmItemRec& row = rows_[i];
            TWmRec& item = job.WaterMarks[i];
            const QRectF& rect = row.Layer.Rect;
            if (row.Kind == TWmRec::TextItem) {
                item.Text = row.Text;
                item.TextLeft = RoundPixel(rect.left());
                item.TextTop = RoundPixel(rect.top());
                item.TextWidth = RoundPixel(rect.width());
                item.TextHeight = RoundPixel(rect.height());
                item.TextOpacity = row.Layer.Opacity;
                item.Font = row.Font;
                item.BackColor = row.BackColor;
                item.HasBackColor = row.HasBackColor;
            } else {
                item.ImageFile = row.ImageFile;
                item.ImageLeft = RoundPixel(rect.left());
                item.ImageTop = RoundPixel(rect.top());
                item.ImageWidth = RoundPixel(rect.width());
                item.ImageHeight = RoundPixel(rect.height());
                item.ImageOpacity = row.Layer.Opacity;
            }
            item.Kind = row.Kind;
            item.StartSec = row.StartSec;
            item.EndSec = row.EndSec;
        }
    }
    job.Brightness = controls_.Adjustments.Brightness;
    job.Contrast = controls_.Adjustments.Contrast;
    job.Saturation = controls_.Adjustments.Saturation;
    job.Exposure = controls_.Adjustments.Exposure;
    job.ProcessText = false;
    job.ProcessImage = false;
}
