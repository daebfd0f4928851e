// The option table's rows: the whole vocabulary has its rows, per-type rows write their own
// type, and names outside the table reach the generic option handler.

#include "EngineTestTask.h"
#include "FFmpegException.h"
#include "OptionTable.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

class OptionRows : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
    }

    std::string ErrorOf(const std::string& name, const std::string& value) {
        try {
            task.SetOption(name, value);
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "(no error)";
    }

    TEngineTestTask task;
};

} // namespace

TEST(OptionTableRows, HoldTheWholeVocabularyAndNothingElse) {
    // A lost row sends its option to the generic handler, where several names ("s", "b",
    // "ab", "r", "threads"...) mean something else; an extra row hides a library option.
    // clang-format off
    const std::set<std::string> vocabulary = {
        "L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "loglevel", "f",
        "i", "y", "map", "map_meta_data", "t", "fs", "ss", "itsoffset", "itsscale", "timestamp",
        "metadata", "dframes", "benchmark", "timelimit", "dump", "hex", "re", "loop_input",
        "loop_output", "v", "target", "threads", "vsync", "async", "adrift_threshold", "vglobal",
        "copyts", "shortest", "dts_delta_threshold", "programid", "xerror", "copyinkf", "b", "vb",
        "vframes", "r", "s", "aspect", "pix_fmt", "croptop", "cropbottom", "cropleft", "cropright",
        "padtop", "padbottom", "padleft", "padright", "padcolor", "intra", "vn", "vdt", "qscale",
        "rc_override", "vcodec", "me_threshold", "sameq", "pass", "passlogfile", "deinterlace",
        "psnr", "vstats", "vstats_file", "vhook", "vfilters", "vf", "intra_matrix", "inter_matrix",
        "top", "dc", "vtag", "newvideo", "vlang", "qphist", "force_fps", "streamid", "ab",
        "aframes", "aq", "ar", "ac", "an", "acodec", "atag", "vol", "newaudio", "alang",
        "sample_fmt", "sn", "scodec", "newsubtitle", "slang", "stag", "vc", "tvstd", "isync",
        "muxdelay", "muxpreload", "absf", "vbsf", "sbsf", "apre", "vpre", "spre", "fpre",
        // The render node of encoders that take device pictures.
        "vaapi_device"};
    // clang-format on
    std::set<std::string> rows;
    for (const TOptionDef& row : TOptionTable::Rows()) {
        rows.insert(row.name);
        EXPECT_EQ(TOptionTable::Find(row.name), &row) << row.name;
        // A calling row without its handler, or a handler that is never called.
        EXPECT_EQ(row.handler != nullptr, row.action == TOptionAction::Call) << row.name;
    }
    EXPECT_EQ(rows, vocabulary);
    EXPECT_EQ(TOptionTable::Find("maxrate"), nullptr);
    EXPECT_EQ(TOptionTable::Find("VCODEC"), nullptr); // names are case-sensitive
}

TEST_F(OptionRows, PerTypeRowsWriteTheirOwnType) {
    task.SetOption("vframes", "10");
    task.SetOption("aframes", "20");
    task.SetOption("dframes", "30");
    EXPECT_EQ(task.pending_.max_frames[AVMEDIA_TYPE_VIDEO], 10);
    EXPECT_EQ(task.pending_.max_frames[AVMEDIA_TYPE_AUDIO], 20);
    EXPECT_EQ(task.pending_.max_frames[AVMEDIA_TYPE_DATA], 30);
    EXPECT_EQ(task.pending_.max_frames[AVMEDIA_TYPE_SUBTITLE], INT_MAX);

    EXPECT_EQ(ErrorOf("atag", "mp4aa"), "audio tag parameter must be 4 chars");
    EXPECT_EQ(ErrorOf("stag", ""), "subtitle tag parameter must be 4 chars");
    task.SetOption("atag", "mp4a");
    task.SetOption("stag", "tx3g");
    EXPECT_EQ(task.pending_.video_codec_tag, 0u);
    EXPECT_EQ(task.pending_.audio_codec_tag, MKTAG('m', 'p', '4', 'a'));
    EXPECT_EQ(task.pending_.subtitle_codec_tag, MKTAG('t', 'x', '3', 'g'));

    task.SetOption("scodec", "copy");
    task.SetOption("acodec", "mp2");
    EXPECT_TRUE(task.pending_.subtitle_stream_copy);
    EXPECT_FALSE(task.pending_.audio_stream_copy);
    EXPECT_FALSE(task.pending_.video_stream_copy);
    EXPECT_EQ(task.pending_.audio_codec_name, "mp2");

    task.SetOption("ac", "1");
    task.SetOption("ac", "-2"); // ignored
    task.SetOption("ar", "22050");
    EXPECT_EQ(task.pending_.audio_channels, 1);
    EXPECT_EQ(task.pending_.audio_sample_rate, 22050);

    EXPECT_EQ(ErrorOf("newsubtitle", ""), "At least one output file must be specified");
}

TEST_F(OptionRows, SwitchesWithoutValueAndRefusalsThatChangeNothing) {
    task.SetOption("copyts", "0"); // the value is ignored: the switch turns on
    task.SetOption("xerror", "");
    EXPECT_TRUE(task.switches_.copy_ts);
    EXPECT_TRUE(task.switches_.exit_on_error);

    task.SetOption("s", "320x240");
    EXPECT_EQ(ErrorOf("padleft", "8"), "Please use vfilters=pad");
    EXPECT_EQ(ErrorOf("threads", "auto"), "TODO: option - threads");
    EXPECT_EQ(task.pending_.frame_width, 320);
    EXPECT_TRUE(task.opt_ctx_.OptNames().empty()); // none went to the generic handler
}

TEST_F(OptionRows, NamesOutsideTheTableReachTheGenericHandler) {
    task.SetOption("maxrate", "2M");
    EXPECT_EQ(task.opt_ctx_.CodecOpts(AVMEDIA_TYPE_VIDEO)->rc_max_rate, 2000000);
    // Old names are translated on the way, as in presets.
    task.SetOption("cqp", "18");
    EXPECT_EQ(PrivateOption(task, "libx264", "qp"), "18");
    const auto& names = task.opt_ctx_.OptNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "maxrate"), names.end());
    // A refused value raises nothing.
    EXPECT_EQ(ErrorOf("g", "many"), "(no error)");
}
