#pragma once

// Set-up of a conversion: the working tables of input and output streams, the choice of each
// output stream's source (stream maps, or the best stream of its kind), meta-data and
// chapters, the codecs (through the stream set-up) and the file headers.

#include "InputFiles.h"
#include "OutputFiles.h"
#include "RunSettings.h"
#include "StatusReport.h"
#include "StreamSetup.h"
#include "TranscodeState.h"

#include <vector>

class TTranscodeSetup {
public:
    // The files and streams the tables are built from, and where a failure is reported.
    struct TLinks {
        TInputFiles& inputs;
        const TOutputFiles& outputs;
        TStreamSetup& streams;
        TStatusReport& report;
    };
    TTranscodeSetup(const TRunSettings& run, const TLinks& links);

    // Fills the tables of ts, opens the codecs and writes the headers; raises FFmpegException
    // on failure (what was opened is in ts for the release).
    void transcode_init(TTranscodeState& ts);

private:
    // Raises when the start time (ss given for the outputs) lies beyond every input's end.
    void check_start_time() const;
    void build_input_tables(TTranscodeState& ts);
    void check_stream_maps(const TTranscodeState& ts) const;
    void build_output_tables(TTranscodeState& ts);
    void choose_output_sources(TTranscodeState& ts);
    AVOutputStream* find_output_stream(TTranscodeState& ts, int fileIndex, int index) const;
    int mapped_source(TTranscodeState& ts, size_t mapIndex, int fileIndex, int index,
                      int& sync) const;
    int best_source(const TTranscodeState& ts, int slot, int fileIndex, int index) const;
    void prepare_output_streams(TTranscodeState& ts);
    void reset_input_clocks(TTranscodeState& ts);
    void copy_metadata_and_chapters(TTranscodeState& ts);
    void copy_chapters(int inputIndex, AVFormatContext* os);
    void write_headers(TTranscodeState& ts);

    const TPendingSettings& pending_;
    const TTaskSwitches& switches_;
    const TOptionContexts& contexts_;
    const std::vector<TStreamMap>& stream_maps_;
    const std::vector<TMetaDataMap>& meta_data_maps_;
    TInputFiles& inputs_;
    const TOutputFiles& outputs_;
    TStreamSetup& streams_;
    TStatusReport& report_;
    const TEngineServices& services_;
};
