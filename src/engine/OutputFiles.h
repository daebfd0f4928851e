#pragma once

// The output files of a task: the container choice, the streams the pending settings ask
// for, file meta-data, the byte stream, join mode, and the removal of what a failed task
// left behind.

#include "InputFiles.h"
#include "OutputStreams.h"
#include "RunSettings.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TOutputFiles {
public:
    // The inputs a join reads and the part that makes each output's streams.
    struct TLinks {
        const TInputFiles& inputs;
        TOutputStreams& streams;
    };
    // A new file uses up the settings' pending format, meta-data and stream ids.
    TOutputFiles(const TRunSettings& run, TEngineSettings& settings, const TLinks& links);

    // Returns the new number of output files, or -1 with the last error text set. Joining
    // the inputs into one file sets totalDuration to their sum.
    int opt_output_file(const std::string& fileName, bool join, std::int64_t& totalDuration);
    // Raises FFmpegException when there is none.
    TOutputFile& LastOutputFile();

    int Count() const { return static_cast<int>(table_.size()); }
    bool Empty() const { return table_.empty(); }
    // The output table; in join mode one file fills a slot per input.
    const std::vector<TOutputFile*>& Table() const { return table_; }
    bool JoinMode() const { return join_mode_; }
    // A video filter text was set when an output was opened.
    bool UseFilterGraph() const { return use_filter_graph_; }
    // Closes the outputs; a failed task's files, and any left empty, are removed.
    void RemoveLeftovers(bool failed);
    void Reset();

private:
    int fail(const std::string& text);
    bool choose_streams(const AVOutputFormat* fmt, bool join, bool& video, bool& audio,
                        bool& subtitle);
    bool create_streams(TOutputFile& file, bool video, bool audio, bool subtitle);
    void set_file_metadata(AVFormatContext* oc);
    bool open_byte_stream(TOutputFile& file, const std::string& libraryName);
    void enter_join_mode(TOutputFile& file, std::int64_t& totalDuration);

    const TPendingSettings& pending_;
    const TOptionContexts& contexts_;
    TEngineSettings& settings_;
    const TInputFiles& inputs_;
    TOutputStreams& streams_;
    const TEngineServices& services_;
    std::vector<std::shared_ptr<TOutputFile>> owned_;
    std::vector<TOutputFile*> table_;
    bool join_mode_ = false;
    bool use_filter_graph_ = false;
};
