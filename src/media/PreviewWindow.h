#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TBitmap24;

// The floating preview window the previewer drives; all calls come on the main thread.
class IPreviewWindow {
public:
    virtual ~IPreviewWindow() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    // Draws the picture at the client area's top-left corner.
    virtual void Draw(const TBitmap24& picture) = 0;
    // True once the user closed the window.
    virtual bool Closed() const = 0;
};

// Creates a window whose client area has the given size (the first picture's).
using TPreviewWindowFactory = std::function<std::unique_ptr<IPreviewWindow>(int width, int height)>;

// The factory the previewers use; the desktop program installs its own, tests a headless one.
void SetPreviewWindowFactory(TPreviewWindowFactory factory);
TPreviewWindowFactory PreviewWindowFactory();
