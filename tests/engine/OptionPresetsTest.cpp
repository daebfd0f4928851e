#include "OptionPresets.h"
#include "EngineTestTask.h"
#include "FFmpegException.h"
#include "MediaUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace {

class OptionPresets : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
    }

    std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "(no error)";
    }

    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The settings line libx264 logs when it opens ("cabac=1 ref=3 ..."), empty when none.
    static std::string X264Settings(const TLogCapture& log) {
        const std::string line = log.Find("options: ");
        return line.empty() ? line : line.substr(line.find("options: ") + 9) + " ";
    }
    static bool HasSetting(const std::string& settings, const std::string& setting) {
        return (" " + settings).find(" " + setting + " ") != std::string::npos;
    }

    TEngineTestTask task;
    testing_support::TempDir dir;
};

std::string GenericOption(const TEngineTestTask& task, const char* name,
                          int type = AVMEDIA_TYPE_VIDEO) {
    std::uint8_t* text = nullptr;
    if (fn::av_opt_get(task.opt_ctx_.CodecOpts(type), name, 0, &text) < 0) {
        return "(unset)";
    }
    std::string value = reinterpret_cast<char*>(text);
    fn::av_free(text);
    return value;
}

} // namespace

TEST_F(OptionPresets, TableHoldsTheFortyEntriesWithTheirTexts) {
    const auto& table = TOptionPresets::Table();
    ASSERT_EQ(table.size(), 40u);
    std::set<std::string> names;
    for (const TOptionsPreset& preset : table) {
        names.insert(LowerCase(preset.Name));
    }
    EXPECT_EQ(names.size(), 40u);
    EXPECT_EQ(table[1].Name, "libx264-default");
    EXPECT_EQ(table[1].Options,
              "coder=1\nflags=+loop\ncmp=+chroma\npartitions=+parti8x8+parti4x4+partp8x8+partb8x8\n"
              "me_method=hex\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
              "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nbf=3\nrefs=3\n"
              "directpred=1\ntrellis=1\nflags2=+mixed_refs+wpred+dct8x8+fastpskip\nwpredp=2");
    EXPECT_EQ(table[38].Name, "libx264-ipod");
    EXPECT_EQ(
        table[38].Options,
        "coder=0\nflags=+loop\nlevel=30\ncmp=+chroma\npartitions=+parti4x4+parti8x8+partp8x8\n"
        "me_method=umh\nsubq=7\nme_range=16\ng=250\nkeyint_min=25\nsc_threshold=40\n"
        "i_qfactor=0.71\nb_strategy=1\nqcomp=0.6\nqmin=10\nqmax=51\nqdiff=4\nrefs=1\n"
        "directpred=1\ntrellis=2\nb=1000000\nmaxrate=1250000\nbufsize=4000000\nbt=256000\n"
        "sc_threshold=40");
    // The short entries and their own order.
    EXPECT_EQ(table[0].Options, "coder=0\nbf=0\nflags2=-wpred-dct8x8\nwpredp=0");
    EXPECT_EQ(table[9].Options, "coder=0\nbf=0\nrefs=1\nflags2=-wpred-dct8x8\nlevel=30\n"
                                "maxrate=10000000\nbufsize=10000000\nwpredp=0");
    EXPECT_EQ(table[16].Options, "flags2=-dct8x8");
    // Lossless entries put cqp before wpredp; the ultrafast ones have no scene cuts.
    EXPECT_NE(table[11].Options.find("flags2=+mixed_refs+dct8x8+fastpskip\ncqp=0\nwpredp=2"),
              std::string::npos);
    EXPECT_EQ(table[15].Options.find("wpredp"), std::string::npos);
    EXPECT_NE(table[30].Options.find("flags=-loop\n"), std::string::npos);
    EXPECT_NE(table[30].Options.find("sc_threshold=0\n"), std::string::npos);
    EXPECT_NE(table[37].Options.find("level=30\ncmp=+chroma"), std::string::npos);
    EXPECT_EQ(table[37].Options.find("\nb="), std::string::npos);
}

// Every preset, applied the way an output stream takes it, opens libx264 and leaves none of
// its options unused.
TEST_F(OptionPresets, EveryPresetOpensLibx264) {
    for (const TOptionsPreset& preset : TOptionPresets::Table()) {
        SCOPED_TRACE(preset.Name);
        TEngineTestTask presetTask;
        presetTask.Reset();
        TLogCapture log(llInfo);
        presetTask.ApplyPreset("vpre", preset.Name);
        const TOpenedEncoder opened = OpenEncoder(presetTask, "libx264", 320, 240, true);
        EXPECT_EQ(opened.result, 0) << ErrorMessage(opened.result);
        EXPECT_TRUE(opened.unused.empty()) << opened.unused.front();
        const std::string settings = X264Settings(log);
        ASSERT_FALSE(settings.empty());
        // Nothing of the old vocabulary was dropped, and the libraries refused nothing.
        for (const auto& [level, text] : log.Lines()) {
            EXPECT_NE(level, llError) << text;
            EXPECT_EQ(text.find("no equivalent"), std::string::npos) << text;
        }
        // Closed GOPs as the devices expect: the old flags must not clear the encoder's default.
        EXPECT_TRUE(HasSetting(settings, "open_gop=0") || !HasSetting(settings, "bframes=3"))
            << settings;
    }
}

TEST_F(OptionPresets, OldOptionsReachTheEncoder) {
    struct TExpectation {
        const char* preset;
        std::vector<const char*> settings;
    };
    const TExpectation expectations[] = {
        {"libx264-ipod",
         {"cabac=0", "ref=1", "me=umh", "subme=7", "trellis=2", "analyse=0x3:0x13", "keyint=250",
          "keyint_min=25", "scenecut=40", "qpmin=10", "qpmax=51", "qpstep=4", "ip_ratio=1.41",
          "rc=abr", "bitrate=1000", "vbv_maxrate=1250", "vbv_bufsize=4000", "direct=1"}},
        {"libx264-default",
         {"cabac=1", "ref=3", "me=hex", "mixed_ref=1", "8x8dct=1", "fast_pskip=1", "weightb=1",
          "weightp=2", "b_adapt=1", "chroma_me=1", "deblock=1:0:0"}},
        {"libx264-ultrafast",
         {"deblock=0:0:0", "scenecut=0", "mbtree=0", "me=dia", "subme=0", "analyse=0x1:0",
          "bframes=0", "8x8dct=0", "weightp=0"}},
        {"libx264-fastfirstpass", {"b_pyramid=0", "weightb=0", "mixed_ref=0", "direct=3"}},
        {"libx264-max", {"fast_pskip=0", "me=tesa", "me_range=24", "subme=10", "ref=16"}},
        {"libx264-lossless_max", {"rc=cqp", "qp=0", "me=esa", "analyse=0x3:0x33"}},
        {"libx264-baseline", {"cabac=0", "bframes=0", "8x8dct=0", "weightp=0"}},
    };
    for (const TExpectation& expectation : expectations) {
        SCOPED_TRACE(expectation.preset);
        TEngineTestTask presetTask;
        presetTask.Reset();
        TLogCapture log(llInfo);
        presetTask.ApplyPreset("vpre", expectation.preset);
        ASSERT_EQ(OpenEncoder(presetTask, "libx264", 320, 240, true).result, 0);
        const std::string settings = X264Settings(log);
        for (const char* setting : expectation.settings) {
            EXPECT_TRUE(HasSetting(settings, setting)) << setting << " in " << settings;
        }
        if (std::string(expectation.preset) == "libx264-ipod") {
            EXPECT_FALSE(log.Find("level 3.0").empty()); // level=30 is H.264 level 3.0
        }
        if (std::string(expectation.preset) == "libx264-baseline") {
            EXPECT_FALSE(log.Find("profile Constrained Baseline").empty());
        }
    }
}

TEST_F(OptionPresets, NamesAreFoundWithoutRegardToCase) {
    ASSERT_EQ(TOptionPresets::Find("LIBX264-IPOD"), &TOptionPresets::Table()[38]);
    EXPECT_EQ(TOptionPresets::Find("libx264-ipod2"), nullptr);
    task.SetOption("vpre", "LIBX264-IPOD");
    EXPECT_EQ(GenericOption(task, "refs"), "1");
    EXPECT_EQ(GenericOption(task, "level"), "30");
    EXPECT_EQ(PrivateOption(task, "libx264", "me_method"), "umh");
}

TEST_F(OptionPresets, ShortNameFollowsThePendingCodecOfTheOptionsType) {
    task.SetOption("vcodec", "libx264");
    task.SetOption("vpre", "ipod");
    EXPECT_EQ(GenericOption(task, "refs"), "1");
    EXPECT_EQ(GenericOption(task, "b"), "1000000");

    // An audio preset looks at the audio codec: none is pending, so no table entry matches.
    TEngineTestTask other;
    other.Reset();
    other.SetOption("vcodec", "libx264");
    EXPECT_EQ(ErrorOf([&] { other.SetOption("apre", "ipod"); }), "Preset \"ipod\" not found");
    // fpre never looks at the table.
    EXPECT_EQ(ErrorOf([&] { other.SetOption("fpre", "libx264-ipod"); }),
              "Preset \"libx264-ipod\" not found");
    // The typed setter is the same procedure.
    other.ApplyPreset("vpre", "ipod");
    EXPECT_EQ(GenericOption(other, "refs"), "1");
}

TEST_F(OptionPresets, UnknownPresetIsNotFound) {
    EXPECT_EQ(ErrorOf([&] { task.SetOption("vpre", "ipod2"); }), "Preset \"ipod2\" not found");
    task.SetOption("vcodec", "libx264");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("vpre", "ipod2"); }), "Preset \"ipod2\" not found");
    EXPECT_EQ(ErrorOf([&] { task.ApplyPreset("vpre", dir.File("missing.ffpreset")); }),
              Format("Preset \"%s\" not found", dir.File("missing.ffpreset").c_str()));
    // Only regular files are read: a device would never end.
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", "/dev/zero"); }),
              "Preset \"/dev/zero\" not found");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", dir.Path()); }),
              "Preset \"" + dir.Path() + "\" not found");
    // Empty names do nothing.
    EXPECT_EQ(ErrorOf([&] { task.ApplyPreset("", "ipod2"); }), "(no error)");
    EXPECT_EQ(ErrorOf([&] { task.ApplyPreset("vpre", ""); }), "(no error)");
}

TEST_F(OptionPresets, PresetFileInTheOldVocabulary) {
    // Windows line breaks, blank and indented lines, codec lines in any case.
    const std::string path =
        WriteFile("old.ffpreset", "\r\n  coder=0\r\nflags2=-dct8x8+mixed_refs\r\n\r\n"
                                  "   me_method=umh   \rVCodec=libx264\nacodec=copy\n"
                                  "partitions=+parti4x4+partp8x8\ncqp=20\n\n");
    task.SetOption("fpre", path);
    EXPECT_EQ(task.Pending().video_codec_name, "libx264");
    EXPECT_TRUE(task.Pending().audio_stream_copy);
    EXPECT_TRUE(task.Pending().audio_codec_name.empty());

    TLogCapture log(llInfo);
    ASSERT_EQ(OpenEncoder(task, "libx264", 320, 240, true).result, 0);
    const std::string settings = X264Settings(log);
    for (const char* setting :
         {"cabac=0", "8x8dct=0", "mixed_ref=1", "me=umh", "analyse=0x1:0x11", "rc=cqp", "qp=20"}) {
        EXPECT_TRUE(HasSetting(settings, setting)) << setting << " in " << settings;
    }
}

TEST_F(OptionPresets, EmptyPresetFileAppliesNothing) {
    const std::string path = WriteFile("empty.ffpreset", "");
    task.SetOption("fpre", path);
    task.SetOption("vpre", WriteFile("blank.ffpreset", " \r\n\n  \n"));
    EXPECT_EQ(task.opt_ctx_.OptNameCount(), 0);
}

TEST_F(OptionPresets, PresetFileErrors) {
    const std::string noValue = WriteFile("novalue.ffpreset", "g=12\nb=\n");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", noValue); }),
              noValue + ": Invalid syntax: \"b=\"");
    // Lines before the failing one stay applied.
    EXPECT_EQ(GenericOption(task, "g"), "12");

    const std::string noName = WriteFile("noname.ffpreset", "  =5  ");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", noName); }),
              noName + ": Invalid syntax: \"=5\"");
    const std::string noEquals = WriteFile("noequals.ffpreset", "deinterlace\n");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", noEquals); }),
              noEquals + ": Invalid syntax: \"deinterlace\"");

    // Name and value are split at the first "=" and not trimmed again.
    const std::string unknown = WriteFile("unknown.ffpreset", "qmin=3\nnosuchoption = 1\n");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", unknown); }),
              unknown + ": Invalid option or argument: \"nosuchoption = 1\", parsed as "
                        "\"nosuchoption \" = \" 1\"");
    const std::string refused = WriteFile("refused.ffpreset", "g=twelve");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("fpre", refused); }),
              refused + ": Invalid option or argument: \"g=twelve\", parsed as \"g\" = \"twelve\"");
    // A file found after the codec name was tried carries the codec name in its messages.
    task.SetOption("vcodec", "libx264");
    EXPECT_EQ(ErrorOf([&] { task.SetOption("vpre", refused); }),
              "libx264-" + refused +
                  ": Invalid option or argument: \"g=twelve\", parsed as \"g\" = \"twelve\"");
}
