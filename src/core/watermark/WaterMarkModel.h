#pragma once

#include "Bitmap24.h"
#include "JobRecord.h"
#include "WaterMarkPreviewHook.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The preview layer of a watermark item: its picture stretched over Rect (frame pixels),
// blended with Opacity (0..255).
struct TWaterMarkLayer {
    QRectF Rect;
    int Opacity = 255;
    QImage Picture; // null: an image file that could not be read
    bool Visible = true;
};

// One row of the editor's list: the fields of its item and its preview layer. The row's text
// is the item's text (text item) or its image file (image item).
struct TWmItemRec : TWmRec {
    int Id = 0; // names the layer for a view while rows move
    TWaterMarkLayer Layer;

    const std::string& RowText() const { return Kind == ImageItem ? ImageFile : Text; }
};

// The editor's controls as the model sees them; the dialog shows them as they are.
struct TWaterMarkControls {
    static constexpr int DefaultTransparency = 125;
    static constexpr int DefaultFontSize = 26;
    static constexpr int MinFontSize = 7;
    static constexpr int MaxFontSize = 70;

    // "Watermark" tab.
    int Horizontal = 0;
    int HorizontalMax = 100;
    int Vertical = 0;
    int VerticalMax = 100;
    int Transparency = DefaultTransparency;
    bool PositionEnabled = false;
    int RangeMax = 0;
    int Start = 0; // the range's thumbs
    int End = 0;
    std::string StartText = "0:00:00";
    std::string EndText = "0:00:00";
    std::string FontName;
    int FontSize = DefaultFontSize;
    int FontStyle = 0; // TWaterMarkFont style bits
    std::uint32_t FontColor = 0;
    std::uint32_t BackColor = 0;
    bool HasBackColor = true; // "Background color" chosen, else "Transparent"
    bool FontControlsEnabled = true;
    bool BackColorEnabled = true;
    // "Effect" tab.
    TWaterMarkAdjustments Adjustments;
};

// What changed, for the window to show.
enum TWaterMarkChange : unsigned {
    wmRows = 1,      // rows added, removed, moved or renamed
    wmLayers = 2,    // a layer's picture, place, opacity or visibility
    wmSelection = 4, // the selected row or layer
    wmControls = 8,  // values or enabled states of the controls
    wmPicture = 16,  // the base picture
    wmAll = 31,
};

// The watermark and effects editor without its widgets: the list of items with their preview
// layers, the selection, the controls, the preview picture and OK. Runs on the window thread;
// only PreviewHook() is for the player's decoding thread. Message boxes and the file dialog go
// through Shell().
class TWaterMarkModel {
public:
    explicit TWaterMarkModel(std::vector<std::string> fontNames = InstalledFonts());
    TWaterMarkModel(const TWaterMarkModel&) = delete;
    TWaterMarkModel& operator=(const TWaterMarkModel&) = delete;

    static std::vector<std::string> InstalledFonts();
    static std::vector<std::string> FontSizes(); // "7" .. "70"
    // "Water Mark  " + the path, shortened when it is long.
    static std::string Caption(const std::string& path);
    // Whole seconds as hours:minutes:seconds, hours not padded; negative values show as 0.
    static std::string RangeText(int seconds);

    void SetOnChanged(std::function<void(unsigned changes)> handler);

    // Opening: the adjustments and crop of the job, the controls of a new list, and a first
    // estimate of the duration (microseconds) until the player reports it.
    void Open(const TlvFilesRecord& job, std::int64_t estimatedDuration);
    // The player opened the file: the ranges follow it and the list is rebuilt from the job's
    // items. Items with nothing to draw (blank text, no file) are left out; an image file that
    // cannot be read keeps its row without a picture, with a message.
    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight);
    bool Opened() const { return opened_; }
    std::int64_t SourceDuration() const { return sourceDuration_; }
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }

    int Count() const { return static_cast<int>(rows_.size()); }
    const TWmItemRec& Row(int row) const { return rows_.at(static_cast<size_t>(row)); }
    const std::vector<TWmItemRec>& Rows() const { return rows_; }
    // The row whose Id is id; -1 when none.
    int RowOfId(int id) const;
    int SelectedRow() const { return selectedRow_; }
    // The row whose layer is selected; -1 when no layer is.
    int SelectedLayer() const { return layerSelected_ ? selectedRow_ : -1; }
    const TWaterMarkControls& Controls() const { return controls_; }

    // A click on a row, or on its layer in the view.
    void SelectRow(int row);
    // A click on the view where no layer is.
    void ClearLayerSelection();

    // A new text item centred on centre (frame pixels); returns its row. Items are added only
    // once the file is open (-1 before).
    int AddText(QPointF centre);
    // Asks for a bitmap file and adds it centred on centre; -1 when cancelled or when the file
    // cannot be read (shown as a message).
    int AddImage(QPointF centre);
    // Adds the bitmap file centred on centre; -1 (with a message) when it cannot be read.
    int AddImageFile(const std::string& path, QPointF centre);
    // The in-place editor's text for the selected text row.
    void SetRowText(const std::string& text);
    void Delete();
    bool CanMoveUp() const;
    bool CanMoveDown() const;
    void MoveUp();
    void MoveDown();

    // The view moved or resized a layer.
    void SetLayerRect(int row, const QRectF& rect);
    // The mouse moved over the view: the position sliders follow the selected layer.
    void MouseOverView();

    void SetHorizontal(int value);
    void SetVertical(int value);
    void SetTransparency(int value);
    void SetStart(int value);
    void SetEnd(int value);
    void StartUp() { SetStart(controls_.Start + 1); }
    void StartDown() { SetStart(controls_.Start - 1); }
    void EndUp() { SetEnd(controls_.End + 1); }
    void EndDown() { SetEnd(controls_.End - 1); }
    void SetFontName(const std::string& name);
    void SetFontSize(int points);
    void SetFontStyle(int bit, bool on);
    void SetFontColor(std::uint32_t color);
    void SetBackColor(std::uint32_t color);
    void SetHasBackColor(bool hasBackColor);

    void SetBrightness(int value);
    void SetContrast(int value);
    void SetSaturation(int value);
    void SetExposure(int value);
    void ResetAdjustments();

    // The hook the player runs on its decoding thread.
    TWaterMarkPreviewHook& PreviewHook() { return hook_; }
    // Takes the latest previewed picture: the base picture, the last frame and the layers'
    // visibility at its time follow it.
    void TakePreview();
    // While paused, adjustments re-render the last frame.
    void SetPaused(bool paused);
    void ForgetLastFrame();
    const TBitmap24& LastFrame() const { return lastFrame_; }
    // The time of the last previewed picture (microseconds); -1 before the first.
    std::int64_t LastPts() const { return lastPts_; }
    const QImage& BasePicture() const { return basePicture_; }

    // OK: the items and the four adjustments into the job. Before the file was opened the
    // job keeps its items.
    void Store(TlvFilesRecord& job) const;

private:
    void Notify(unsigned changes);
    TWmItemRec NewItem(int kind);
    void CentreLayer(TWmItemRec& item, QPointF centre) const;
    void ShowItem(int row);
    void RedrawText();
    bool SelectedText() const;
    void MoveSelectedLeft(int left);
    void MoveSelectedTop(int top);
    void AdjustmentsChanged();
    void UpdateVisibility();
    void Rerender();
    void RebuildRows();

    std::vector<std::string> fontNames_;
    std::function<void(unsigned)> onChanged_;
    TWaterMarkControls controls_;
    std::vector<TWmItemRec> rows_;
    std::vector<TWmRec> stored_; // the job's items, rebuilt once the file is open
    int selectedRow_ = -1;
    bool layerSelected_ = false;
    int nextId_ = 1;
    bool opened_ = false;
    std::int64_t sourceDuration_ = 0;
    int frameWidth_ = 0;
    int frameHeight_ = 0;

    TWaterMarkPreviewHook hook_;
    TBitmap24 lastFrame_;
    std::int64_t lastPts_ = -1;
    QImage basePicture_;
    bool paused_ = false;
};
