#pragma once

#include "BatchRows.h"
#include "JobList.h"

#include <filesystem>

// The main window's job list as the rows of a batch.
class TJobListRows final : public IBatchRows {
public:
    explicit TJobListRows(TJobList& jobs) : jobs_(jobs) {}

    int RowCount() const override { return jobs_.Count(); }
    bool Checked(int row) const override { return jobs_.Checked(row); }
    std::string Caption(int row) const override { return jobs_.Caption(row); }
    TlvFilesRecord& Record(int row) override { return jobs_.Record(row); }
    bool Missing(int row) const override {
        std::error_code ec;
        return !std::filesystem::exists(jobs_.Caption(row), ec);
    }
    void SetProgress(int row, const std::string& text, const std::string& tooltip) override {
        jobs_.SetProgress(row, text, tooltip);
    }

private:
    TJobList& jobs_;
};
