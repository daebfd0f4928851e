#include "VideoFilter.h"

#include "MediaUtils.h"

namespace {

int AddFilter(AVFilterGraph* graph, const char* filterName, const char* instance,
              const std::string& args, AVFilterContext** made, std::string& errorText) {
    const AVFilter* filter = fn::avfilter_get_by_name(filterName);
    if (filter == nullptr) {
        errorText = Format("No such filter: '%s'", filterName);
        return AVERROR_FILTER_NOT_FOUND;
    }
    const int ret = fn::avfilter_graph_create_filter(
        made, filter, instance, args.empty() ? nullptr : args.c_str(), nullptr, graph);
    if (ret < 0) {
        errorText = ErrorText(Format("%s=%s", filterName, args.c_str()), ret);
    }
    return ret;
}

} // namespace

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
    const AVRational sar = input.sampleAspect.num > 0 ? input.sampleAspect : AVRational{0, 1};
    int ret =
        AddFilter(graph, "buffer", "src",
                  Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d",
                         input.width, input.height, input.pixFmt, AV_TIME_BASE, sar.num, sar.den),
                  &src_, errorText);
    if (ret < 0) {
        return ret;
    }
    if ((ret = AddFilter(graph, "buffersink", "out", "", &sink_, errorText)) < 0) {
        return ret;
    }
    if (chain.outPixFmt >= 0) {
        const int formats[1] = {chain.outPixFmt};
        ret = fn::av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const std::uint8_t*>(formats),
                                 sizeof(formats), AV_OPT_SEARCH_CHILDREN);
        if (ret < 0) {
            errorText = ErrorText("buffersink pix_fmts", ret);
            return ret;
        }
    }
    AVFilterContext* last = src_;
    if (chain.crop) {
        AVFilterContext* crop = nullptr;
        // Named arguments: the positional order of this filter is not stable across versions.
        ret = AddFilter(graph, "crop", "crop",
                        Format("w=%d:h=%d:x=%d:y=%d", chain.cropWidth, chain.cropHeight,
                               chain.cropX, chain.cropY),
                        &crop, errorText);
        if (ret < 0 || (ret = fn::avfilter_link(last, 0, crop, 0)) < 0) {
            if (errorText.empty()) {
                errorText = ErrorText("crop", ret);
            }
            return ret;
        }
        last = crop;
    }
    if (chain.scale) {
        AVFilterContext* scale = nullptr;
        ret = AddFilter(
            graph, "scale", "scale",
            Format("w=%d:h=%d:flags=%d", chain.scaleWidth, chain.scaleHeight, chain.swsFlags),
            &scale, errorText);
        if (ret < 0 || (ret = fn::avfilter_link(last, 0, scale, 0)) < 0) {
            if (errorText.empty()) {
                errorText = ErrorText("scale", ret);
            }
            return ret;
        }
        last = scale;
    }
    if (!chain.text.empty()) {
        media::FilterInOutPtr outputs(fn::avfilter_inout_alloc());
        media::FilterInOutPtr inputs(fn::avfilter_inout_alloc());
        if (!outputs || !inputs) {
            errorText = ErrorMessage(AVERROR(ENOMEM));
            return AVERROR(ENOMEM);
        }
        outputs->name = fn::av_strdup("in");
        outputs->filter_ctx = last;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = fn::av_strdup("out");
        inputs->filter_ctx = sink_;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        AVFilterInOut* in = inputs.release();
        AVFilterInOut* out = outputs.release();
        ret = fn::avfilter_graph_parse_ptr(graph, chain.text.c_str(), &in, &out, nullptr);
        fn::avfilter_inout_free(&in);
        fn::avfilter_inout_free(&out);
        if (ret < 0) {
            errorText = ErrorText(chain.text, ret);
            return ret;
        }
    } else if ((ret = fn::avfilter_link(last, 0, sink_, 0)) < 0) {
        errorText = ErrorText("link", ret);
        return ret;
    }
    if ((ret = fn::avfilter_graph_config(graph, nullptr)) < 0) {
        errorText = ErrorText(chain.text.empty() ? std::string("filter graph") : chain.text, ret);
        return ret;
    }
    return 0;
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
    return fn::av_buffersink_get_frame(sink_, frame);
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
