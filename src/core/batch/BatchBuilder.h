#pragma once

#include "JobRecord.h"
#include "OutputName.h"
#include "OutputReservation.h"
#include "TaskOptionsBuilder.h"

#include <memory>
#include <string>

class TAVProbe;
class TTaskOutputs;
class TCustomFFEncoder;
class TSettings;

// Turns jobs into conversion tasks of the encoder component, one at a time, the way Start
// does for every checked row: probe the source, make the output folder, read the format's zoom
// mode, build the option records and queue the task. A queued task holds no file: its output
// name is chosen and reserved on disk, and its files opened, when it starts.
class TBatchBuilder {
public:
    TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                  TAskYesNo ask, TShowWarning warn);

    // Opens the file just long enough to learn what building its options needs; Known is
    // false (and error says why) when it cannot be read.
    static TProbedSource ProbeSource(TAVProbe& probe, const std::string& file, std::string& error);

    // Writes outputs into this folder instead of the stored output folder.
    void SetOutputFolder(const std::string& folder) { outputFolder_ = folder; }
    // The zoom mode every job takes instead of the format profile's ("full", "lbox", "pan").
    void SetZoomOverride(const std::string& zoom) { zoomOverride_ = zoom; }

    // The task index, or -1 with error set (the job then has no task). job.ZoomMode is
    // updated. When the task starts, its output is reserved on disk (TOutputReservation) and
    // handed to outputs under the task's index; the task writes through its unfinished name.
    // notice gets what the job's row should say about its conversion (a hardware encoder
    // replaced), else it is cleared.
    int AddJob(TlvFilesRecord& job, int formatCode, const std::shared_ptr<TTaskOutputs>& outputs,
               std::string& error, std::string& notice);

private:
    TCustomFFEncoder& encoder_;
    TSettings& settings_;
    TTaskOptionFiles files_;
    TAskYesNo ask_;
    TShowWarning warn_;
    std::string outputFolder_;
    std::string resolvedFolder_;
    std::string zoomOverride_;
};
