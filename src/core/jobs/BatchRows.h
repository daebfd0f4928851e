#pragma once

#include "JobRecord.h"

#include <string>

// The rows a batch converts, as the batch run sees them: the job list of the main window, or
// the files of the command line. Called on the main thread only, except Record, which the
// application's picture hook may also read on the conversion thread (rows are not added,
// removed or edited while a batch runs).
class IBatchRows {
public:
    virtual ~IBatchRows() = default;

    virtual int RowCount() const = 0;
    virtual bool Checked(int row) const = 0;
    // The row caption: the source path.
    virtual std::string Caption(int row) const = 0;
    virtual TlvFilesRecord& Record(int row) = 0;
    // A source that is gone: Start skips the row, saying "Missing".
    virtual bool Missing(int /*row*/) const { return false; }
    // The row's "Progress" cell and its tooltip (empty: none).
    virtual void SetProgress(int row, const std::string& text, const std::string& tooltip) = 0;
};
