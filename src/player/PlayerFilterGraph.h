#pragma once

#include "MediaPtr.h"

#include <string>

// The player's picture filters: a source "src" fed with decoded pictures, the player's filter
// chain (between "in" and "out") when it has one, and a sink "out" that gives planar YUV 4:2:0.
class TPlayerFilterGraph {
public:
    struct TInput {
        int width = 0;
        int height = 0;
        int pixFmt = -1;
        AVRational timeBase{1, 1};
        AVRational sampleAspect{0, 1};
        bool operator==(const TInput& other) const {
            return width == other.width && height == other.height && pixFmt == other.pixFmt;
        }
    };

    TPlayerFilterGraph() = default;
    TPlayerFilterGraph(const TPlayerFilterGraph&) = delete;
    TPlayerFilterGraph& operator=(const TPlayerFilterGraph&) = delete;

    // Negative library code with errorText on failure.
    int Configure(const TInput& input, const std::string& chain, int scalerFlags,
                  std::string& errorText);
    bool Configured() const { return static_cast<bool>(graph_); }
    const TInput& Input() const { return input_; }

    int Push(AVFrame* frame);
    // 0 with a picture (pts in the sink's time base), AVERROR(EAGAIN) when none is ready.
    int Pull(AVFrame* frame);
    AVRational OutputTimeBase() const;
    AVRational OutputSampleAspect() const;

private:
    media::FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    TInput input_;
};
