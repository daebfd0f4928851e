#include "LegacyOptions.h"
#include "EngineTestTask.h"
#include "FFmpegException.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class LegacyOptions : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
    }

    std::int64_t GenericInt(const char* name, int type = AVMEDIA_TYPE_VIDEO) const {
        std::int64_t value = -12345;
        fn::av_opt_get_int(task.opt_ctx_.CodecOpts(type), name, 0, &value);
        return value;
    }
    std::string Private(const char* encoder, const char* option) const {
        return PrivateOption(task, encoder, option);
    }
    std::string MuxerOption(const char* muxer, const char* option) const {
        const AVOutputFormat* format = fn::av_guess_format(muxer, nullptr, nullptr);
        AVDictionary* options = nullptr;
        task.opt_ctx_.CopyFormatPrivateOptions(format->priv_class, &options);
        const AVDictionaryEntry* entry = fn::av_dict_get(options, option, nullptr, 0);
        std::string value = entry != nullptr ? entry->value : "(none)";
        fn::av_dict_free(&options);
        return value;
    }

    TEngineTestTask task;
};

} // namespace

TEST_F(LegacyOptions, MovedOptionsBecomeTodaysPrivateOptions) {
    EXPECT_TRUE(task.opt_default("me_method", "full"));
    EXPECT_EQ(Private("libx264", "me_method"), "esa");
    EXPECT_EQ(Private("mpeg4", "motion_est"), "epzs");
    EXPECT_TRUE(task.opt_default("me_method", "x1"));
    EXPECT_EQ(Private("mpeg4", "motion_est"), "xone");
    EXPECT_EQ(Private("libx264", "me_method"), "esa"); // x1 means nothing to libx264

    EXPECT_TRUE(task.opt_default("directpred", "2"));
    EXPECT_EQ(Private("libx264", "direct-pred"), "2");
    EXPECT_TRUE(task.opt_default("wpredp", "1"));
    EXPECT_EQ(Private("libx264", "weightp"), "1");
    EXPECT_TRUE(task.opt_default("cqp", "18"));
    EXPECT_EQ(Private("libx264", "qp"), "18");
    EXPECT_TRUE(task.opt_default("coder", "ac"));
    EXPECT_EQ(Private("libx264", "coder"), "1");
    EXPECT_TRUE(task.opt_default("nr", "100"));
    EXPECT_EQ(Private("mpeg2video", "noise_reduction"), "100");
    EXPECT_TRUE(task.opt_default("sc_threshold", "-5"));
    EXPECT_EQ(Private("mpeg4", "sc_threshold"), "-5");
    EXPECT_EQ(Private("libx264", "sc_threshold"), "-5");
    EXPECT_TRUE(task.opt_default("muxrate", "10080000"));
    EXPECT_EQ(MuxerOption("dvd", "muxrate"), "10080000");
    EXPECT_EQ(MuxerOption("mpegts", "muxrate"), "10080000");
    EXPECT_TRUE(task.opt_default("muxrate", "1411.2k")); // numbers keep their SI suffixes
    EXPECT_EQ(MuxerOption("vcd", "muxrate"), "1411.2k");
    EXPECT_TRUE(task.opt_default("crf", "18.5"));
    EXPECT_EQ(Private("libx264", "crf"), "18.5");
    EXPECT_TRUE(task.opt_default("preload", "440000"));
    EXPECT_EQ(MuxerOption("vcd", "preload"), "440000");
    // Nothing of it landed in the generic contexts.
    EXPECT_EQ(task.opt_ctx_.OptNameCount(), 0);
}

TEST_F(LegacyOptions, PartitionFlagsBecomeAList) {
    EXPECT_TRUE(task.opt_default("partitions", "+parti8x8+parti4x4+partp8x8+partb8x8"));
    EXPECT_EQ(Private("libx264", "partitions"), "i4x4,i8x8,p8x8,b8x8");
    EXPECT_TRUE(task.opt_default("partitions", "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8"));
    EXPECT_EQ(Private("libx264", "partitions"), "i4x4,p8x8");
    EXPECT_TRUE(task.opt_default("partitions", "-parti8x8-parti4x4-partp8x8-partb8x8"));
    EXPECT_EQ(Private("libx264", "partitions"), "none");
}

TEST_F(LegacyOptions, FlagTokensAreSplitBetweenGenericAndPrivateOptions) {
    EXPECT_TRUE(task.opt_default("flags2", "+bpyramid-mixed_refs+wpred-dct8x8+fastpskip-mbtree"));
    EXPECT_EQ(Private("libx264", "b-pyramid"), "normal");
    EXPECT_EQ(Private("libx264", "mixed-refs"), "0");
    EXPECT_EQ(Private("libx264", "weightb"), "1");
    EXPECT_EQ(Private("libx264", "8x8dct"), "0");
    EXPECT_EQ(Private("libx264", "fast-pskip"), "1");
    EXPECT_EQ(Private("libx264", "mbtree"), "0");
    EXPECT_EQ(task.opt_ctx_.OptNameCount(), 0); // no generic flags2 were touched

    // Tokens that still exist stay generic; old ones beside them move.
    EXPECT_TRUE(task.opt_default("flags", "+scan_offset+gray-loop"));
    EXPECT_EQ(GenericInt("flags"), AV_CODEC_FLAG_GRAY);
    EXPECT_EQ(Private("mpeg2video", "scan_offset"), "1");
    EXPECT_EQ(Private("libx264", "deblock"), "false");
    // A renamed token keeps its place; an unsigned first token still sets the whole value.
    EXPECT_TRUE(task.opt_default("flags", "closedgop+psnr"));
    EXPECT_EQ(GenericInt("flags"), AV_CODEC_FLAG_CLOSED_GOP | AV_CODEC_FLAG_PSNR);
    EXPECT_TRUE(task.opt_default("flags", "scan_offset"));
    EXPECT_EQ(GenericInt("flags"), 0);
}

TEST_F(LegacyOptions, TokensOfOneFlagsOptionAccumulateUntilReset) {
    EXPECT_TRUE(task.opt_default("flags", "+mv0+naq"));
    EXPECT_TRUE(task.opt_default("flags2", "+skiprd"));
    EXPECT_EQ(Private("mpeg4", "mpv_flags"), "+mv0+naq+skip_rd");
    // The encoder takes the merged value.
    const TOpenedEncoder opened = OpenEncoder(task, "mpeg4");
    EXPECT_EQ(opened.result, 0);
    EXPECT_TRUE(opened.unused.empty());

    task.Reset();
    EXPECT_TRUE(task.opt_default("flags", "+qprd"));
    EXPECT_EQ(Private("mpeg4", "mpv_flags"), "+qp_rd");
}

TEST_F(LegacyOptions, OptionsWithoutEquivalentAreAcceptedWithAWarning) {
    TLogCapture log(llInfo);
    EXPECT_TRUE(task.opt_default("flags2", "+brdo"));
    EXPECT_TRUE(log.Has(llWarning, "Option flags2=+brdo has no equivalent in these libraries (it "
                                   "applied to libx264) and is ignored"));
    EXPECT_TRUE(task.opt_default("psy_trellis", "0.2"));
    EXPECT_TRUE(log.Has(llWarning, "Option psy_trellis=0.2 has no equivalent in these libraries "
                                   "(it applied to libx264) and is ignored"));
    // A value today's option cannot take is dropped the same way, never handed to an encoder.
    EXPECT_TRUE(task.opt_default("directpred", "spatial-ish"));
    EXPECT_TRUE(log.Has(llWarning, "Option directpred=spatial-ish has no equivalent in these "
                                   "libraries (it applied to libx264) and is ignored"));
    EXPECT_EQ(Private("libx264", "direct-pred"), "(none)");
    EXPECT_TRUE(task.opt_default("crf", "1.5.5"));
    EXPECT_EQ(Private("libx264", "crf"), "(none)");
    // Only the vanished token is dropped; the rest of the value still applies.
    EXPECT_TRUE(task.opt_default("flags", "+emu_edge+bitexact"));
    EXPECT_EQ(GenericInt("flags"), AV_CODEC_FLAG_BITEXACT);
    EXPECT_FALSE(log.Find("Option flags=+emu_edge has no equivalent").empty());
    EXPECT_EQ(OpenEncoder(task, "libx264").result, 0);
}

TEST_F(LegacyOptions, UnknownNamesAndRefusedValuesStillFail) {
    EXPECT_FALSE(task.opt_default("nosuchoption", "1"));
    EXPECT_FALSE(task.opt_default("flags", "+nosuchflag"));
    EXPECT_FALSE(task.opt_default("flags", "+nosuchflag+scan_offset"));
    // A failing value changes nothing, not even its legacy tokens.
    EXPECT_EQ(Private("mpeg2video", "scan_offset"), "(none)");
    EXPECT_FALSE(task.opt_default("g", "many"));
    EXPECT_FALSE(task.opt_default("", "1"));
    EXPECT_FALSE(task.opt_default("me_method", " "));
    // Options still in the generic contexts pass through unchanged.
    EXPECT_TRUE(task.opt_default("refs", "4"));
    EXPECT_EQ(GenericInt("refs"), 4);
    EXPECT_TRUE(task.opt_default("cmp", "+chroma"));
    EXPECT_EQ(GenericInt("cmp"), FF_CMP_CHROMA);
    EXPECT_TRUE(task.opt_default("flags2", "+fast"));
    EXPECT_EQ(GenericInt("flags2"), AV_CODEC_FLAG2_FAST);
}

TEST_F(LegacyOptions, EveryRuleNamesSomethingTheLibrariesKnow) {
    // A rule whose target no encoder or muxer of this library build knows would turn every use
    // of the old option into a warning.
    for (const TLegacyRule& rule : TLegacyOptions::Rules()) {
        if (rule.target == nullptr || rule.form == TLegacyValue::Rename) {
            continue;
        }
        SCOPED_TRACE(std::string(rule.option) + " -> " + rule.target);
        TEngineTestTask probe;
        probe.Reset();
        std::string value = "1";
        if (rule.form == TLegacyValue::Fixed || rule.form == TLegacyValue::FlagToken) {
            value = rule.value;
        } else if (rule.form == TLegacyValue::Map) {
            value = std::string(rule.value).substr(std::string(rule.value).find(':') + 1);
            value = value.substr(0, value.find(','));
        } else if (rule.form == TLegacyValue::Partitions) {
            value = "i4x4";
        }
        EXPECT_TRUE(probe.opt_ctx_.SetDefaultOption(rule.target, value));
    }
}
