#include "StreamDecoder.h"

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "PlayerMessages.h"

#include <mutex>
#include <system_error>

TStreamDecoder::~TStreamDecoder() {
    MarkClosed();
    Join();
}

bool TStreamDecoder::OpenCodec(const AVStream* stream,
                               const std::function<void(AVCodecContext&)>& tune) {
    const AVCodec* decoder = fn::avcodec_find_decoder(stream->codecpar->codec_id);
    codec_.reset(fn::avcodec_alloc_context3(decoder));
    bool opened = decoder != nullptr && codec_ &&
                  fn::avcodec_parameters_to_context(codec_.get(), stream->codecpar) >= 0;
    if (opened) {
        codec_->pkt_timebase = stream->time_base;
        if (tune) {
            tune(*codec_);
        }
        std::lock_guard lock(CodecLock());
        opened = fn::avcodec_open2(codec_.get(), decoder, nullptr) >= 0;
    }
    if (!opened) {
        FreeCodec();
        LoggerInstance().Log(owner_.LogSender(), llError, playermsg::CodecOpenFailed);
    }
    return opened;
}

bool TStreamDecoder::Start(std::function<void()> body) {
    open_.store(true);
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error&) {
        LoggerInstance().Log(owner_.LogSender(), llError, playermsg::CreateThreadFailed);
        open_.store(false);
        FreeCodec();
        return false;
    }
    return true;
}

void TStreamDecoder::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
    FreeCodec();
}

void TStreamDecoder::FreeCodec() {
    if (codec_) {
        std::lock_guard lock(CodecLock());
        codec_.reset();
    }
}
