#pragma once

#include "MediaPtr.h"

#include <string>

// A video filter graph from a buffer source named "src" to a buffer sink named "out", with
// optional crop and scale filters in front of a filter text. Time stamps are microseconds.
class TVideoFilter {
public:
    struct TInput {
        int width = 0;
        int height = 0;
        int pixFmt = -1;
        AVRational sampleAspect{0, 1};
    };
    struct TChain {
        bool crop = false;
        int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
        bool scale = false;
        int scaleWidth = 0, scaleHeight = 0;
        int swsFlags = 0;
        std::string text;   // the user's filter text, may be empty
        int outPixFmt = -1; // -1: whatever the chain gives
    };

    TVideoFilter() = default;
    TVideoFilter(const TVideoFilter&) = delete;
    TVideoFilter& operator=(const TVideoFilter&) = delete;

    // Builds the graph; on failure returns a negative library code and fills errorText.
    int Configure(const TInput& input, const TChain& chain, std::string& errorText);
    bool Matches(const TInput& input) const;
    const TInput& Input() const { return input_; }
    const TChain& Chain() const { return chain_; }

    // frame null closes the source (end of stream). Returns a negative code on failure.
    int Push(AVFrame* frame);
    // 0 with a picture (time stamp in microseconds), AVERROR(EAGAIN) when none is ready,
    // AVERROR_EOF after the end.
    int Pull(AVFrame* frame);

    int OutputWidth() const;
    int OutputHeight() const;
    int OutputPixFmt() const;
    AVRational OutputSampleAspect() const;

private:
    int add_endpoints(std::string& errorText);
    // Adds the filter after last and makes it the new last.
    int add_link(const char* name, const std::string& args, AVFilterContext*& last,
                 std::string& errorText);
    int parse_text(AVFilterContext* last, std::string& errorText);

    media::FilterGraphPtr graph_;
    AVFilterContext* src_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    TInput input_;
    TChain chain_;
};
