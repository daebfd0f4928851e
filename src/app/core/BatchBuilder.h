#pragma once

#include "JobRecord.h"
#include "OutputName.h"
#include "OutputNameReservations.h"
#include "TaskOptionsBuilder.h"

#include <string>

class TCustomFFEncoder;
class TSettings;

// Turns jobs into conversion tasks of the encoder component, one at a time, the way Start
// does for every checked row: probe the source, name the output, read the format's zoom mode,
// build the option records, add the task and set its output. Output names are reserved for
// the whole batch.
class TBatchBuilder {
public:
    TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                  TAskYesNo ask, TShowWarning warn);

    // Writes outputs into this folder instead of the stored output folder.
    void SetOutputFolder(const std::string& folder) { outputFolder_ = folder; }
    // The zoom mode every job takes instead of the format profile's ("full", "lbox", "pan").
    void SetZoomOverride(const std::string& zoom) { zoomOverride_ = zoom; }

    // The task index, or -1 with error set (the job then has no task). job.ZoomMode and
    // outputFile are updated; notice gets what the job's row should say about its conversion
    // (a hardware encoder replaced), else it is cleared.
    int AddJob(TlvFilesRecord& job, int formatCode, std::string& outputFile, std::string& error,
               std::string& notice);

private:
    TCustomFFEncoder& encoder_;
    TSettings& settings_;
    TTaskOptionFiles files_;
    TAskYesNo ask_;
    TShowWarning warn_;
    TOutputNameReservations reservations_;
    std::string outputFolder_;
    std::string zoomOverride_;
};
