#include "PlayerFilterGraph.h"

#include "MediaUtils.h"

int TPlayerFilterGraph::Configure(const TInput& input, const std::string& chain, int scalerFlags,
                                  std::string& errorText) {
    graph_.reset(fn::avfilter_graph_alloc());
    source_ = sink_ = nullptr;
    input_ = input;
    if (!graph_) {
        errorText = ErrorMessage(AVERROR(ENOMEM));
        return AVERROR(ENOMEM);
    }
    AVFilterGraph* graph = graph_.get();
    graph->scale_sws_opts = fn::av_strdup(Format("flags=%d", scalerFlags).c_str());
    // One thread per filter graph: decoding already keeps the cores busy.
    graph->nb_threads = 1;
    const AVRational sar = input.sampleAspect.num > 0 ? input.sampleAspect : AVRational{0, 1};
    int ret =
        AddGraphFilter(graph, "buffer", "src",
                       Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                              input.width, input.height, input.pixFmt, input.timeBase.num,
                              input.timeBase.den, sar.num, sar.den),
                       &source_, errorText);
    if (ret < 0 || (ret = AddGraphFilter(graph, "buffersink", "out", "", &sink_, errorText)) < 0) {
        return ret;
    }
    const int formats[1] = {AV_PIX_FMT_YUV420P};
    ret = fn::av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const std::uint8_t*>(formats),
                             sizeof(formats), AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) {
        errorText = ErrorText("buffersink", ret);
        return ret;
    }
    if (!chain.empty()) {
        ret = ParseFilterChain(graph, chain, source_, sink_);
        if (ret == AVERROR(ENOMEM)) {
            errorText = ErrorMessage(ret);
            return ret;
        }
        if (ret < 0) {
            errorText = ErrorText(chain, ret);
            return ret;
        }
    } else if ((ret = fn::avfilter_link(source_, 0, sink_, 0)) < 0) {
        errorText = ErrorText("link", ret);
        return ret;
    }
    if ((ret = fn::avfilter_graph_config(graph, nullptr)) < 0) {
        errorText = ErrorText(chain.empty() ? std::string("filter graph") : chain, ret);
    }
    return ret;
}

int TPlayerFilterGraph::Push(AVFrame* frame) {
    return fn::av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int TPlayerFilterGraph::Pull(AVFrame* frame) {
    return fn::av_buffersink_get_frame(sink_, frame);
}

AVRational TPlayerFilterGraph::OutputTimeBase() const {
    return fn::av_buffersink_get_time_base(sink_);
}

AVRational TPlayerFilterGraph::OutputSampleAspect() const {
    return fn::av_buffersink_get_sample_aspect_ratio(sink_);
}
