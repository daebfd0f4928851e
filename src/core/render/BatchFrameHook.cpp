#include "BatchFrameHook.h"

#include "BatchRows.h"

TBatchFrameHook::TBatchFrameHook(IBatchRows& rows) {
    for (int row = 0; row < rows.RowCount(); ++row) {
        if (rows.Checked(row)) {
            jobs_.emplace(row, rows.Record(row));
        }
    }
}

void TBatchFrameHook::Render(int row, THookInfo& info) {
    const auto job = jobs_.find(row);
    if (job == jobs_.end() || info.Bitmap == nullptr ||
        !renderer_.Render(job->second, *info.Bitmap, info.PTS)) {
        info.Update = false;
    }
}
