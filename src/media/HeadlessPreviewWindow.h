#pragma once

#include "PreviewWindow.h"

#include <mutex>
#include <string>
#include <vector>

// A preview window without a display: it records what it was asked to show and can be closed
// as a user would close it.
class THeadlessPreviewWindow : public IPreviewWindow {
public:
    struct Shared {
        std::mutex mutex;
        int windowsCreated = 0;
        int clientWidth = 0;
        int clientHeight = 0;
        std::vector<std::string> captions;
        int drawn = 0;
        int lastWidth = 0;
        int lastHeight = 0;
        bool closed = false;
    };

    THeadlessPreviewWindow(int width, int height, std::shared_ptr<Shared> shared);
    ~THeadlessPreviewWindow() override = default;

    void SetCaption(const std::string& caption) override;
    void Draw(const TBitmap24& picture) override;
    bool Closed() const override;

    // A factory whose windows all report into one record.
    static TPreviewWindowFactory Factory(std::shared_ptr<Shared> shared);

private:
    std::shared_ptr<Shared> shared_;
};
