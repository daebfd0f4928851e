#include "WaterMarkRenderer.h"

#include "AppMessages.h"
#include "Bitmap24.h"
#include "PictureEffects.h"
#include "WaterMarkText.h"

#include <memory>
#include <stdexcept>

namespace {

// An item to draw in this frame, with its bitmap already read for an image item.
struct TPendingItem {
    const TWmRec* Item = nullptr;
    std::shared_ptr<const TBitmap24> Image;
};

} // namespace

bool TWaterMarkRenderer::Render(const TlvFilesRecord& job, TBitmap24& frame, std::int64_t pts) {
    // Everything that can fail happens before the first pixel changes.
    std::vector<TPendingItem> items;
    for (const TWmRec& item : job.WaterMarks) {
        if (!WaterMarkItemDrawable(item) || !WaterMarkItemActive(item, pts)) {
            continue;
        }
        if (item.Kind == TWmRec::ImageItem) {
            items.push_back({&item, images_.Load(item.ImageFile)});
        } else {
            if (!CanDrawWaterMarkText()) {
                throw std::runtime_error(appmsg::TextNeedsGuiApplication);
            }
            items.push_back({&item, nullptr});
        }
    }

    const bool colours = job.Brightness != NeutralBrightness || job.Contrast != NeutralContrast ||
                         job.Saturation != NeutralSaturation;
    if (colours) {
        AdjustColors(frame, job.Brightness, job.Contrast, job.Saturation);
    }
    if (job.Exposure != NeutralExposure) {
        AdjustExposure(frame, static_cast<float>(job.Exposure));
    }
    for (const TPendingItem& pending : items) {
        const TWmRec& item = *pending.Item;
        if (pending.Image) {
            BlendBitmap(frame, *pending.Image, item.ImageLeft, item.ImageTop, item.ImageOpacity);
        } else {
            DrawWaterMarkText(frame, item);
        }
    }
    return colours || job.Exposure != NeutralExposure || !items.empty();
}

void TWaterMarkRenderer::Render(THookInfo& info, const std::vector<int>& taskRows,
                                const TJobOfRow& jobOfRow) {
    const TlvFilesRecord* job = nullptr;
    if (info.Bitmap != nullptr && info.TaskIndex >= 0 &&
        static_cast<size_t>(info.TaskIndex) < taskRows.size() && jobOfRow) {
        job = jobOfRow(taskRows[static_cast<size_t>(info.TaskIndex)]);
    }
    if (job == nullptr || !Render(*job, *info.Bitmap, info.PTS)) {
        info.Update = false;
    }
}
