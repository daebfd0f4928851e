// Conversion set-up: working tables, the choice of source streams, meta-data, chapters and
// headers.

#include "TranscodeSetup.h"

#include "PictureOrientation.h"

#include <tuple>

#include "FFmpegException.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <algorithm>

namespace {

bool ClassHasOption(const AVClass* cls, const char* name) {
    if (cls == nullptr) {
        return false;
    }
    const AVClass* fake = cls;
    return fn::av_opt_find(&fake, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

bool InProgram(const AVFormatContext* ic, int streamIndex, int programId) {
    for (unsigned i = 0; i < ic->nb_programs; ++i) {
        const AVProgram* p = ic->programs[i];
        if (p->id != programId) {
            continue;
        }
        for (unsigned j = 0; j < p->nb_stream_indexes; ++j) {
            if (static_cast<int>(p->stream_index[j]) == streamIndex) {
                return true;
            }
        }
    }
    return false;
}

void DumpOutput(const TOutputFile& file, int index) {
    fn::av_dump_format(file.ctx.get(), index, file.ctx->url ? file.ctx->url : "", 1);
}

} // namespace

TTranscodeSetup::TTranscodeSetup(const TRunSettings& run, const TLinks& links)
    : pending_(run.pending), switches_(run.switches), contexts_(run.contexts),
      stream_maps_(run.streamMaps), meta_data_maps_(run.metaDataMaps), inputs_(links.inputs),
      outputs_(links.outputs), streams_(links.streams), report_(links.report),
      services_(run.services) {}

void TTranscodeSetup::transcode_init(TTranscodeState& ts) {
    ts.pkt = media::MakePacket();
    ts.frame = media::MakeFrame();
    if (!ts.pkt || !ts.frame) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
    for (TOutputFile* f : outputs_.Table()) {
        if (std::find(ts.outputs.begin(), ts.outputs.end(), f) == ts.outputs.end()) {
            ts.outputs.push_back(f);
        }
    }
    ts.nb_slots = outputs_.JoinMode() ? inputs_.Count() : 1;
    check_start_time();
    build_input_tables(ts);
    for (size_t i = 0; i < ts.outputs.size(); ++i) {
        if (ts.outputs[i]->streams.empty()) {
            DumpOutput(*ts.outputs[i], static_cast<int>(i));
            throw FFmpegException(Format(enginemsg::OutputHasNoStream, static_cast<int>(i)));
        }
    }
    ts.nb_ostreams_per_file = static_cast<int>(ts.outputs[0]->streams.size());
    check_stream_maps(ts);
    build_output_tables(ts);
    choose_output_sources(ts);
    prepare_output_streams(ts);
    streams_.open_encoders(ts);
    streams_.open_decoders(ts);
    reset_input_clocks(ts);
    copy_metadata_and_chapters(ts);
    for (auto& ost : ts.ost_table) {
        streams_.init_bitstream_filters(*ost);
    }
    write_headers(ts);
    report_.print_stream_mapping(ts);
    report_.StartTimer();
}

void TTranscodeSetup::build_input_tables(TTranscodeState& ts) {
    int running = 0;
    for (int i = 0; i < inputs_.Count(); ++i) {
        TInputFileSlot& in = inputs_[i];
        AVInputFile file;
        file.ist_index = running;
        file.nb_streams = static_cast<int>(in.ctx->nb_streams);
        running += file.nb_streams;
        ts.input_files.push_back(file);
        for (int k = 0; k < file.nb_streams; ++k) {
            auto ist = std::make_unique<AVInputStream>();
            ist->file_index = i;
            ist->index = k;
            ist->st = in.ctx->streams[k];
            ist->dec = in.decoders[k].get();
            ist->discard = true;
            if (ist->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                const TPictureOrientation upright = OrientationOf(ist->st);
                ist->upright_filters = upright.Filters;
                ist->upright_swaps_sides = upright.SwapsSides();
            }
            if (switches_.rate_emu) {
                ist->start = fn::av_gettime();
            }
            ts.ist_table.push_back(std::move(ist));
        }
    }
}

// Every index of the stream maps is checked before it is used.
void TTranscodeSetup::check_stream_maps(const TTranscodeState& ts) const {
    if (stream_maps_.empty()) {
        return;
    }
    size_t nb_ostreams = 0;
    for (const TOutputFile* f : outputs_.Table()) {
        nb_ostreams += f->streams.size();
    }
    if (stream_maps_.size() != nb_ostreams) {
        throw FFmpegException(enginemsg::MapCountMismatch);
    }
    auto exists = [&](int file, int stream) {
        return file >= 0 && file < inputs_.Count() && stream >= 0 &&
               stream < ts.input_files[file].nb_streams;
    };
    for (const TStreamMap& m : stream_maps_) {
        if (!exists(m.file_index, m.stream_index)) {
            throw FFmpegException(Format(enginemsg::NoInputStream, m.file_index, m.stream_index));
        }
        if (!exists(m.sync_file_index, m.sync_stream_index)) {
            throw FFmpegException(
                Format(enginemsg::NoSyncStream, m.sync_file_index, m.sync_stream_index));
        }
    }
}

// One entry per stream of each distinct output file.
void TTranscodeSetup::build_output_tables(TTranscodeState& ts) {
    for (size_t f = 0; f < ts.outputs.size(); ++f) {
        TOutputFile* file = ts.outputs[f];
        for (size_t k = 0; k < file->streams.size(); ++k) {
            auto ost = std::make_unique<AVOutputStream>();
            ost->file_index = static_cast<int>(f);
            ost->index = static_cast<int>(k);
            ost->file = file;
            ost->slot = &file->streams[k];
            ost->st = ost->slot->st;
            ost->join_sources.assign(ts.nb_slots, -1);
            ost->pkt = media::MakePacket();
            if (!ost->pkt) {
                throw FFmpegException(enginemsg::AvMalloczFail);
            }
            ts.ost_table.push_back(std::move(ost));
        }
    }
}

void TTranscodeSetup::choose_output_sources(TTranscodeState& ts) {
    const bool join = outputs_.JoinMode();
    size_t mapIndex = 0;
    for (size_t entry = 0; entry < outputs_.Table().size(); ++entry) {
        const int slot = join ? static_cast<int>(entry) : 0;
        const int fileIndex = join ? 0 : static_cast<int>(entry);
        TOutputFile& file = *ts.outputs[fileIndex];
        for (size_t k = 0; k < file.streams.size(); ++k) {
            AVOutputStream* ost = find_output_stream(ts, fileIndex, static_cast<int>(k));
            int chosen = -1;
            int sync = -1;
            if (!stream_maps_.empty()) {
                chosen = mapped_source(ts, mapIndex++, fileIndex, static_cast<int>(k), sync);
            } else {
                chosen = best_source(ts, slot, fileIndex, static_cast<int>(k));
                sync = chosen;
            }
            ts.ist_table[chosen]->discard = false;
            ost->active = true;
            ost->join_sources[slot] = chosen;
            if (slot == 0) {
                ost->source_index = chosen;
                ost->sync_ist = sync;
            }
        }
    }
}

AVOutputStream* TTranscodeSetup::find_output_stream(TTranscodeState& ts, int fileIndex,
                                                    int index) const {
    AVOutputStream* ost = nullptr;
    for (auto& o : ts.ost_table) {
        if (o->file_index == fileIndex && o->index == index) {
            ost = o.get();
        }
    }
    return ost;
}

int TTranscodeSetup::mapped_source(TTranscodeState& ts, size_t mapIndex, int fileIndex, int index,
                                   int& sync) const {
    const TOutputFile& file = *ts.outputs[fileIndex];
    const int type = file.streams[index].enc->codec_type;
    const TStreamMap& m = stream_maps_[mapIndex];
    const int chosen = ts.input_files[m.file_index].ist_index + m.stream_index;
    sync = ts.input_files[m.sync_file_index].ist_index + m.sync_stream_index;
    const int inType = ts.ist_table[chosen]->st->codecpar->codec_type;
    if (inType != type) {
        DumpOutput(file, fileIndex);
        throw FFmpegException(Format(enginemsg::CodecTypeMismatch, m.file_index, m.stream_index,
                                     CodecTypeName(inType).c_str(), fileIndex, index,
                                     CodecTypeName(type).c_str()));
    }
    return chosen;
}

int TTranscodeSetup::best_source(const TTranscodeState& ts, int slot, int fileIndex,
                                 int index) const {
    const TOutputFile& file = *ts.outputs[fileIndex];
    const int type = file.streams[index].enc->codec_type;
    const bool join = outputs_.JoinMode();
    // A cover picture is the video only when there is none other; then a track the file marks
    // as its default one, as players choose; then the stream that showed the most frames (the
    // libraries of today expose only the container's frame count, 0 when unknown, so among
    // streams that do not tell, the first one is taken).
    int chosen = -1;
    std::tuple<bool, bool, std::int64_t> best{false, false, -1};
    for (size_t j = 0; j < ts.ist_table.size(); ++j) {
        const AVInputStream& ist = *ts.ist_table[j];
        if (!ist.discard || ist.st->discard == AVDISCARD_ALL ||
            ist.st->codecpar->codec_type != type) {
            continue;
        }
        if (join && ist.file_index != slot) {
            continue;
        }
        if (pending_.opt_programid != 0 &&
            !InProgram(inputs_[ist.file_index].ctx.get(), ist.index, pending_.opt_programid)) {
            continue;
        }
        const std::tuple<bool, bool, std::int64_t> rank{
            (ist.st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0,
            (ist.st->disposition & AV_DISPOSITION_DEFAULT) != 0, ist.st->nb_frames};
        if (chosen < 0 || rank > best) {
            best = rank;
            chosen = static_cast<int>(j);
        }
    }
    if (chosen < 0 && !join && pending_.opt_programid == 0) {
        for (size_t j = 0; j < ts.ist_table.size(); ++j) {
            const AVInputStream& ist = *ts.ist_table[j];
            if (ist.st->codecpar->codec_type == type && ist.st->discard != AVDISCARD_ALL) {
                chosen = static_cast<int>(j);
            }
        }
    }
    if (chosen < 0) {
        DumpOutput(file, fileIndex);
        throw FFmpegException(Format(enginemsg::NoMatchingInputStream, fileIndex, index,
                                     CodecTypeName(type).c_str()));
    }
    return chosen;
}

// Every output stream is prepared for copy or encoding.
void TTranscodeSetup::prepare_output_streams(TTranscodeState& ts) {
    for (auto& ostPtr : ts.ost_table) {
        AVOutputStream& ost = *ostPtr;
        AVInputStream& ist = *ts.ist_table[ost.source_index];
        fn::av_dict_copy(&ost.st->metadata, ist.st->metadata, AV_DICT_DONT_OVERWRITE);
        ost.st->disposition = ist.st->disposition;
        if (ost.slot->stream_copy) {
            streams_.prepare_copy_stream(ost, ist);
            continue;
        }
        // An encoded picture stream is a video, not a cover: muxers take covers as images only.
        ost.st->disposition &= ~AV_DISPOSITION_ATTACHED_PIC;
        ost.enc = ost.slot->enc.get();
        ost.enc->bits_per_raw_sample = ist.st->codecpar->bits_per_raw_sample;
        ost.enc->chroma_sample_location = ist.st->codecpar->chroma_location;
        switch (ost.enc->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            streams_.prepare_audio_encoding(ost, ist);
            break;
        case AVMEDIA_TYPE_VIDEO:
            streams_.prepare_video_encoding(ost, ist);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ost.encoding_needed = true;
            ist.decoding_needed = true;
            break;
        default:
            throw FFmpegException(enginemsg::InvalidOutputCodecType);
        }
        // In join mode the same encoder takes every slot's source.
        for (int source : ost.join_sources) {
            if (source >= 0) {
                ts.ist_table[source]->decoding_needed = true;
            }
        }
    }
}

void TTranscodeSetup::reset_input_clocks(TTranscodeState& ts) {
    for (auto& ist : ts.ist_table) {
        const AVRational rate = ist->st->avg_frame_rate;
        const int delay = ist->st->codecpar->video_delay;
        ist->pts = rate.num != 0 && rate.den != 0
                       ? -static_cast<std::int64_t>(std::llround(delay * 1000000.0 / av_q2d(rate)))
                       : 0;
        ist->next_pts = NoTimestamp;
        ist->is_start = true;
    }
}

void TTranscodeSetup::check_start_time() const {
    if (pending_.start_time <= 0) {
        return;
    }
    // Joined inputs follow one another; otherwise the longest one counts.
    std::int64_t longest = 0;
    for (const TInputFileSlot& input : inputs_) {
        if (input.ctx->duration == AV_NOPTS_VALUE || input.ctx->duration <= 0) {
            return; // an input of unknown length may still hold something
        }
        longest = outputs_.JoinMode() ? longest + input.ctx->duration
                                      : std::max(longest, input.ctx->duration);
    }
    if (pending_.start_time >= longest) {
        throw FFmpegException(Format(enginemsg::StartBeyondEnd,
                                     FormatSeconds(pending_.start_time).c_str(),
                                     FormatSeconds(longest).c_str()));
    }
}

void TTranscodeSetup::copy_metadata_and_chapters(TTranscodeState& ts) {
    for (const TMetaDataMap& m : meta_data_maps_) {
        if (m.out_file < 0 || m.out_file >= static_cast<int>(ts.outputs.size())) {
            report_.setup_fail(
                ts, Format(enginemsg::InvalidMetaOutput, m.out_file, m.out_file, m.in_file));
        }
        if (m.in_file < 0 || m.in_file >= inputs_.Count()) {
            report_.setup_fail(
                ts, Format(enginemsg::InvalidMetaInput, m.in_file, m.out_file, m.in_file));
        }
        fn::av_dict_copy(&ts.outputs[m.out_file]->ctx->metadata, inputs_[m.in_file].ctx->metadata,
                         AV_DICT_DONT_OVERWRITE);
    }

    for (int i = 0; i < inputs_.Count(); ++i) {
        if (inputs_[i].ctx->nb_chapters == 0) {
            continue;
        }
        for (TOutputFile* file : ts.outputs) {
            copy_chapters(i, file->ctx.get());
        }
    }
}

void TTranscodeSetup::copy_chapters(int inputIndex, AVFormatContext* os) {
    const AVFormatContext* is = inputs_[inputIndex].ctx.get();
    for (unsigned c = 0; c < is->nb_chapters; ++c) {
        const AVChapter* in_ch = is->chapters[c];
        const std::int64_t ts_off = fn::av_rescale_q(
            pending_.start_time - inputs_[inputIndex].ts_offset, AV_TIME_BASE_Q, in_ch->time_base);
        const std::int64_t rt =
            pending_.recording_time == INT64_MAX
                ? INT64_MAX
                : fn::av_rescale_q(pending_.recording_time, AV_TIME_BASE_Q, in_ch->time_base);
        if (in_ch->end < ts_off) {
            continue;
        }
        if (rt != INT64_MAX && in_ch->start > rt + ts_off) {
            break;
        }
        media::ChapterPtr out_ch(static_cast<AVChapter*>(fn::av_mallocz(sizeof(AVChapter))));
        if (!out_ch) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
        out_ch->id = in_ch->id;
        out_ch->time_base = in_ch->time_base;
        out_ch->start = std::max<std::int64_t>(0, in_ch->start - ts_off);
        out_ch->end = std::min(rt, in_ch->end - ts_off);
        fn::av_dict_copy(&out_ch->metadata, in_ch->metadata, 0);
        auto* grown = static_cast<AVChapter**>(
            fn::av_realloc(os->chapters, sizeof(AVChapter*) * (os->nb_chapters + 1)));
        if (grown == nullptr) {
            throw FFmpegException(enginemsg::AvReallocFail);
        }
        os->chapters = grown;
        os->chapters[os->nb_chapters++] = out_ch.release();
    }
}

void TTranscodeSetup::write_headers(TTranscodeState& ts) {
    bool allRtp = true;
    for (size_t i = 0; i < ts.outputs.size(); ++i) {
        TOutputFile& file = *ts.outputs[i];
        AVFormatContext* oc = file.ctx.get();
        media::Dictionary options;
        const AVClass* cls = oc->oformat->priv_class;
        contexts_.CopyFormatPrivateOptions(cls, options.Slot());
        if (file.preload > 0 && ClassHasOption(cls, "preload")) {
            fn::av_dict_set(options.Slot(), "preload", std::to_string(file.preload).c_str(), 0);
        }
        if (file.loop_output >= 0 && ClassHasOption(cls, "loop")) {
            fn::av_dict_set(options.Slot(), "loop", std::to_string(file.loop_output).c_str(), 0);
        }
        if (fn::avformat_write_header(oc, options.Slot()) < 0) {
            report_.setup_fail(ts, Format(enginemsg::CouldNotWriteHeader, static_cast<int>(i)));
        }
        file.header_written = true;
        file.header_bytes = oc->pb != nullptr ? fn::avio_seek(oc->pb, 0, SEEK_CUR) : 0;
        if (std::string(oc->oformat->name) != "rtp") {
            allRtp = false;
        }
    }
    ts.header_written = true;
    if (allRtp) {
        std::vector<AVFormatContext*> contexts;
        for (TOutputFile* f : ts.outputs) {
            contexts.push_back(f->ctx.get());
        }
        char sdp[2048] = {};
        fn::av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), sdp, sizeof(sdp));
        LoggerInstance().LogFmt(services_.sender, llInfo, enginemsg::SdpText, Trim(sdp).c_str());
    }
}
