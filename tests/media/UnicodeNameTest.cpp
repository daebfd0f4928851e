#include "LibraryFunctions.h"
#include "MediaFile.h"
#include "MediaPtr.h"
#include "MediaUtils.h"
#include "TestSupport.h"
#include "UnicodeProtocol.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

namespace {

// The locale decides which names need the "unicode" form; tests pin it.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) : previous_(std::setlocale(LC_CTYPE, nullptr)) {
        std::setlocale(LC_CTYPE, name);
    }
    ~LocaleScope() { std::setlocale(LC_CTYPE, previous_.c_str()); }

private:
    std::string previous_;
};

const std::string kAccented = "/tmp/vid\xC3\xA9o-\xE6\x97\xA5\xE6\x9C\xAC.mp4"; // "vidéo-日本"

} // namespace

TEST(UnicodeNames, PlainNamesPassUnchanged) {
    LocaleScope locale("C");
    EXPECT_FALSE(NeedsUnicodeName("/home/user/video/a.avi"));
    EXPECT_EQ(ToLibraryFileName("/home/user/video/a.avi"), "/home/user/video/a.avi");
    EXPECT_EQ(FromLibraryFileName("/home/user/video/a.avi"), "/home/user/video/a.avi");
}

TEST(UnicodeNames, NamesTheLocaleCannotHoldTakeTheUnicodeForm) {
    LocaleScope locale("C");
    EXPECT_TRUE(NeedsUnicodeName(kAccented));
    const std::string library = ToLibraryFileName(kAccented);
    EXPECT_EQ(library, "unicode:utf8:" + kAccented);
    EXPECT_TRUE(IsUnicodeName(library));
    EXPECT_EQ(FromLibraryFileName(library), kAccented);
}

TEST(UnicodeNames, UtfLocaleHoldsEveryName) {
    LocaleScope locale("C.UTF-8");
    EXPECT_FALSE(NeedsUnicodeName(kAccented));
    EXPECT_EQ(ToLibraryFileName(kAccented), kAccented);
}

TEST(UnicodeNames, KnownProtocolsAreNeverConvertedAndLetterCaseCounts) {
    LocaleScope locale("C");
    EXPECT_FALSE(NeedsUnicodeName("http://example.com/vid\xC3\xA9o.flv"));
    EXPECT_FALSE(NeedsUnicodeName("udp://h\xC3\xA9:1234"));
    EXPECT_TRUE(NeedsUnicodeName("HTTP://example.com/vid\xC3\xA9o.flv"));
    // A drive-like prefix is no protocol.
    EXPECT_TRUE(NeedsUnicodeName("C:vid\xC3\xA9o.avi"));
    EXPECT_FALSE(NeedsUnicodeName("C:video.avi"));
}

TEST(UnicodeNames, ShapeOfTheUnicodeForm) {
    EXPECT_FALSE(IsUnicodeName("unicode:utf8:")); // 13 bytes: no name
    EXPECT_TRUE(IsUnicodeName("unicode:utf8:a"));
    EXPECT_FALSE(IsUnicodeName("UNICODE:utf8:a"));
    EXPECT_EQ(FromLibraryFileName("unicode:utf8:/a:b/c.mp4"), "/a:b/c.mp4");
}

TEST(UnicodeNames, LongNamesAreNotCut) {
    LocaleScope locale("C");
    const std::string longName = "/tmp/" + std::string(3000, 'a') + "\xC3\xA9.mp4";
    const std::string library = ToLibraryFileName(longName);
    EXPECT_EQ(library.size(), std::string("unicode:utf8:").size() + longName.size());
    EXPECT_EQ(FromLibraryFileName(library), longName);
}

TEST(UnicodeOpenPath, ClipWithAnAccentedNameIsReadAndItsNameComesBack) {
    testing_support::RequireEncoderLibraries();
    LocaleScope locale("C");
    testing_support::TempDir dir;
    const std::string plain = dir.File("plain.mkv");
    testing_support::MakeClip(plain, 1, 160, 120, 25, 44100, "-c:v mpeg4 -c:a mp2");
    const std::string accented = dir.File("clip-\xC3\xA9t\xC3\xA9-\xE6\x97\xA5.mkv");
    std::filesystem::rename(plain, accented);

    AVFormatContext* ctx = nullptr;
    ASSERT_EQ(TMediaFile::OpenInput(&ctx, accented, nullptr, nullptr), 0);
    EXPECT_TRUE(IsUnicodeName(ctx->url));
    EXPECT_EQ(FromLibraryFileName(ctx->url), accented);
    ASSERT_GE(fn::avformat_find_stream_info(ctx, nullptr), 0);
    EXPECT_EQ(ctx->nb_streams, 2u);
    media::PacketPtr packet = media::MakePacket();
    int packets = 0;
    while (fn::av_read_frame(ctx, packet.get()) >= 0) {
        ++packets;
        fn::av_packet_unref(packet.get());
    }
    EXPECT_GT(packets, 25);
    TMediaFile::CloseInput(&ctx);
    EXPECT_EQ(ctx, nullptr);
}

TEST(UnicodeOpenPath, MissingFileFailsAndWritingCreates) {
    testing_support::RequireEncoderLibraries();
    testing_support::TempDir dir;
    const std::string missing = "unicode:utf8:" + dir.File("missing-\xC3\xA9.avi");
    AVIOContext* stream = nullptr;
    EXPECT_EQ(TMediaFile::OpenStream(&stream, missing, AVIO_FLAG_READ), -2);
    EXPECT_EQ(stream, nullptr);

    const std::string created = "unicode:utf8:" + dir.File("new-\xC3\xA9.bin");
    ASSERT_EQ(TMediaFile::OpenStream(&stream, created, AVIO_FLAG_WRITE), 0);
    const unsigned char bytes[] = {1, 2, 3, 4, 5};
    fn::avio_write(stream, bytes, sizeof bytes);
    TMediaFile::CloseStream(&stream);
    EXPECT_EQ(FileSizeOf(FromLibraryFileName(created)), 5);
}
