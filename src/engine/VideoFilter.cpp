#include "VideoFilter.h"

#include "MediaUtils.h"

int TVideoFilter::Configure(const TInput& input, const TChain& chain, std::string& errorText) {
    graph_.reset(fn::avfilter_graph_alloc());
    src_ = sink_ = nullptr;
    input_ = input;
    chain_ = chain;
    if (!graph_) {
        errorText = ErrorMessage(AVERROR(ENOMEM));
        return AVERROR(ENOMEM);
    }
    AVFilterGraph* graph = graph_.get();
    // The graph's own scalers (format conversions) use the task's scaler flags.
    graph->scale_sws_opts = fn::av_strdup(Format("flags=%d", chain.swsFlags).c_str());
    int ret = add_endpoints(errorText);
    if (ret < 0) {
        return ret;
    }
    AVFilterContext* last = src_;
    // Named arguments: the positional order of these filters is not stable across versions.
    if (chain.crop && (ret = add_link("crop",
                                      Format("w=%d:h=%d:x=%d:y=%d", chain.cropWidth,
                                             chain.cropHeight, chain.cropX, chain.cropY),
                                      last, errorText)) < 0) {
        return ret;
    }
    if (chain.scale && (ret = add_link("scale",
                                       Format("w=%d:h=%d:flags=%d", chain.scaleWidth,
                                              chain.scaleHeight, chain.swsFlags),
                                       last, errorText)) < 0) {
        return ret;
    }
    if (!chain.text.empty()) {
        ret = parse_text(last, errorText);
    } else if ((ret = fn::avfilter_link(last, 0, sink_, 0)) < 0) {
        errorText = ErrorText("link", ret);
    }
    if (ret < 0) {
        return ret;
    }
    if ((ret = fn::avfilter_graph_config(graph, nullptr)) < 0) {
        errorText = ErrorText(chain.text.empty() ? std::string("filter graph") : chain.text, ret);
        return ret;
    }
    return 0;
}

int TVideoFilter::add_endpoints(std::string& errorText) {
    AVFilterGraph* graph = graph_.get();
    const AVRational sar = input_.sampleAspect.num > 0 ? input_.sampleAspect : AVRational{0, 1};
    int ret = AddGraphFilter(graph, "buffer", "src",
                             Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d",
                                    input_.width, input_.height, input_.pixFmt, AV_TIME_BASE,
                                    sar.num, sar.den),
                             &src_, errorText);
    if (ret < 0) {
        return ret;
    }
    if ((ret = AddGraphFilter(graph, "buffersink", "out", "", &sink_, errorText)) < 0) {
        return ret;
    }
    if (chain_.outPixFmt >= 0) {
        const int formats[1] = {chain_.outPixFmt};
        ret = fn::av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const std::uint8_t*>(formats),
                                 sizeof(formats), AV_OPT_SEARCH_CHILDREN);
        if (ret < 0) {
            errorText = ErrorText("buffersink pix_fmts", ret);
            return ret;
        }
    }
    return 0;
}

int TVideoFilter::add_link(const char* name, const std::string& args, AVFilterContext*& last,
                           std::string& errorText) {
    AVFilterContext* filter = nullptr;
    int ret = AddGraphFilter(graph_.get(), name, name, args, &filter, errorText);
    if (ret < 0 || (ret = fn::avfilter_link(last, 0, filter, 0)) < 0) {
        if (errorText.empty()) {
            errorText = ErrorText(name, ret);
        }
        return ret;
    }
    last = filter;
    return 0;
}

int TVideoFilter::parse_text(AVFilterContext* last, std::string& errorText) {
    const int ret = ParseFilterChain(graph_.get(), chain_.text, last, sink_);
    if (ret == AVERROR(ENOMEM)) {
        errorText = ErrorMessage(ret);
    } else if (ret < 0) {
        errorText = ErrorText(chain_.text, ret);
    }
    return ret;
}

bool TVideoFilter::Matches(const TInput& input) const {
    return graph_ && input.width == input_.width && input.height == input_.height &&
           input.pixFmt == input_.pixFmt;
}

int TVideoFilter::Push(AVFrame* frame) {
    if (frame == nullptr) {
        return fn::av_buffersrc_close(src_, AV_NOPTS_VALUE, 0);
    }
    return fn::av_buffersrc_add_frame_flags(src_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int TVideoFilter::Pull(AVFrame* frame) {
    const int ret = fn::av_buffersink_get_frame(sink_, frame);
    // Filters may change the time base (yadif halves it): hand back microseconds.
    if (ret >= 0 && frame->pts != AV_NOPTS_VALUE) {
        frame->pts =
            fn::av_rescale_q(frame->pts, fn::av_buffersink_get_time_base(sink_), AV_TIME_BASE_Q);
    }
    return ret;
}

int TVideoFilter::OutputWidth() const {
    return fn::av_buffersink_get_w(sink_);
}
int TVideoFilter::OutputHeight() const {
    return fn::av_buffersink_get_h(sink_);
}
int TVideoFilter::OutputPixFmt() const {
    return fn::av_buffersink_get_format(sink_);
}
AVRational TVideoFilter::OutputSampleAspect() const {
    return fn::av_buffersink_get_sample_aspect_ratio(sink_);
}
