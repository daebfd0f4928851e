#pragma once

#include "EncoderOptions.h"
#include "JobRecord.h"
#include "SourceFacts.h"

#include <cstdint>
#include <functional>
#include <string>

// Asks a yes/no question: text, caption; true for Yes.
using TAskYesNo = std::function<bool(const std::string& text, const std::string& caption)>;

// Where the format's catalog section and profile are read.
struct TTaskOptionFiles {
    std::string SettingsFile;
    std::string CatalogFile;
};

// Fills the option records of one conversion task from the format's catalog section and
// profile, the job's zoom mode and crop margins, and the source facts: codecs, container,
// disc target, rates, frame size and aspect, and the filter chain of the zoom modes.
// output must be reset, with FileName set and, for a cropped job, its crop margins; input
// must be reset and filled by the caller. Fields this routine does not decide keep their
// values. A profile "paraVolume" that is not an integer raises FFmpegException. The
// frame-size question is asked through ask when the profile's frame size is unusable.
// The filters that show a single picture for microseconds at frameRate pictures a second:
// the picture repeated, each copy at its own time. Empty for no length or rate.
std::string StillPictureFilters(std::int64_t microseconds, double frameRate);

// Returns a notice for the job's row and the log (a hardware encoder replaced by its software
// encoder, and why); empty when there is none.
std::string BuildTaskOptions(const TlvFilesRecord& job, int formatCode, TOutputOptions& output,
                             const TSourceFacts& source, TInputOptions& input,
                             const TTaskOptionFiles& files, const TAskYesNo& ask);
