#include "FormatCatalog.h"

namespace {

struct TGroup {
    std::string Text;
    std::vector<std::string> Entries;
};

// Texts are shown exactly as written, spelling included.
const std::vector<TGroup>& Groups() {
    static const std::vector<TGroup> groups = {
        {"Apple iPod",
         {"iPod Video MPEG-4 (*.mp4)", "iPod Video H.264 (*.mp4)",
          "iPod MPEG-4 Excellent (320 x 240)(*.mp4)", "iPod MPEG-4 Normal (320 x 240)(*.mp4)",
          "iPod MPEG-4 Mini (320 x 240)(*.mp4)", "iPod Touch MPEG-4 Excellent (*.mp4)",
          "iPod Touch MPEG-4 (480 x 320) (*.mp4)", "iPod Touch MPEG-4 (320 x 240) (*.mp4)",
          "iPod Touch MPEG-4 Wide Screen (*.mp4)"}},
        {"Apple iPhone",
         {"iPhone MPEG-4 Extra Video (*.mp4)", "iPhone MPEG-4 Wide Screen (*.mp4)",
          "iPhone MPEG-4 Movie (*.mp4)", "iPhone Movie for 480p TV Out (*.mp4)",
          "iPhone Movie for 576p TV Out (*.mp4)"}},
        {"Apple TV",
         {"Apple TV (640 x 480) MPEG-4 Excellent (*.mp4)",
          "Apple TV (640 x 480) MPEG-4 Normal (*.mp4)", "Apple TV (640 x 480) MPEG-4 Mini (*.mp4)",
          "Apple H.264 (320 x 240) (*.mp4)", "Apple H.264 480P (640 x 480) (*.mp4)",
          "Apple H.264 720p (1280 x 720) (*.mp4)"}},
        {"GPhone", {"GPhone MPEG-4 Movie (*.mp4)"}},
        {"Sony PSP",
         {"PSP MPEG-4 Excellent Quality (*.mp4)", "PSP MPEG-4 Normal Quality (*.mp4)",
          "PSP MPEG-4 Mini Size (*.mp4)", "PSP H.264/AVC Video (*.mp4)",
          "PSP Video (480P) (*.mp4)"}},
        {"Sony PS3",
         {"PS3 MPEG-4 Video (480P) (*.mp4)", "PS3 MPEG-4 Video (480P) Excellent (*.mp4)",
          "PS3 MPEG-4 Video (720P) (*.mp4)", "PS3 MPEG-4 Video (1080P) (*.mp4)"}},
        {"Microsoft Zune",
         {"Microsoft Zune MPEG-4 Video (*.mp4)", "Microsoft Zune MPEG-4 AVC Video (*.mp4)",
          "Microsoft Zune Windows Media Video (*.wmv)"}},
        {"Sony Walkman",
         {"Sony Walkman MPEG-4 Video (*.mp4)", "Sony Walkman AVC Video (*.mp4)",
          "Sony Walkman WMV Video (*.wmv)"}},
        {"Archos",
         {"Archos H.264 Video (*.mp4)", "Archos MPEG4 Video (*.mp4)", "Archos 105 Video (*.wmv)",
          "Archos 404/405 Video (*.avi)", "Archos 504/604 Video (*.avi)",
          "Archos 605/705/TV+ Video (*.avi)", "Archos AV500/700 Video (*.avi)"}},
        {"Creative Zen",
         {"Creative Zen H.264 Video (*.mp4)", "Creative Zen MPEG4 Video (*.mp4)",
          "Creative Zen Xvid Video (*.avi)", "Creative Zen X-Fi Video (*.avi)",
          "Creative Zen Vison Video (*.avi)", "Creative Zen Vison M Video (*.avi)",
          "Creative Zen Vison W Video (*.avi)"}},
        {"iRiver",
         {"iRiver H.264 Video (*.mp4)", "iRiver MPEG4 Video (*.mp4)", "iRiver WMV Video (*.wmv)",
          "iRiver Xvid Video (*.avi)", "iRiver E10 Video (*.avi)", "iRiver U10/Clix Video (*.avi)",
          "iRiver B20/X20/Clix 2/E100/Lplayer Video (*.avi)",
          "iRiver Spinn/D28/DICPLE D30 Video (*.avi)", "iRiver P10/P20 Video (*.avi)",
          "iRiver PMP-120/140/IMP-1000/1100 Video (*.avi)"}},
        {"Sandisk Sansa",
         {"Sandisk Sansa AVI Video (*.avi)", "Sandisk Sansa WMV Video (*.wmv)",
          "Sandisk Sansa MPEG-4 Video (*.mp4)"}},
        {"Microsoft xbox 360",
         {"Microsoft Xbox WMV Video (*.wmv)", "Microsoft Xbox AVI Video (*.avi)",
          "Microsoft Xbox MPEG-4 Video (*.mp4)"}},
        {"Nitendeo WII", {"Nitendeo Wii AVI Video (*.avi)", "Nitendeo Wii MOV Video (*.mov)"}},
        {"Mobile Phone",
         {"Mobile Phone 3GP h263 Video(*.3gp)", "Mobile Phone 3GP MPEG-4 Video(*.3gp)",
          "Mobile Phone 3GP2 h263 Video(*.3gp)", "Mobile Phone 3GP2 MPEG-4 Video(*.3gp)",
          "Mobile Phone MPEG-4 Video(*.mp4)", "Nokia N Series MPEG-4 Video(*.mp4)"}},
        {"BlackBerry", {"BlackBerry MPEG-4 Video(*.mp4)"}},
        {"Nokia", {"Nokia N Series MPEG-4 Video (*.mp4)"}},
        {"Windows Mobile",
         {"Dell Axim 51 Video (*.wmv)", "Dell Axim 51V Video (*.wmv)",
          "HP iPAQ hw6500 Series Video (*.wmv)",
          "HP iPAQ hx2000/rx3000/rx1900 Series Video (*.wmv)",
          "HP iPAQ hx4700 Series Video (*.wmv)", "Palm Treo Series Video (*.wmv)",
          "HTC Touch Diamond Video (*.wmv)", "General Pocket PC Video (*.wmv)"}},
        {"Quick Time Video - MOV", {"MOV - Quick Time Video (*.mov)"}},
        {"Flash Video", {"Flash Video Format (*.flv)", "Flash SWF Format (*.swf)"}},
        {"Toshiba Gigabeat", {"Toshiba Gigabeat WMV Movie (*.wmv)"}},
        {"HD Video",
         {"HD AVI Video (*.avi)", "HD Divx Video (*.avi)", "HD H.264/MPEG-4 AVC Video (*.mp4)",
          "HD MOV Video (*.mov)", "HD WMV Video (*.wmv)", "HD MPEG-4 Video (*.mp4)",
          "HD Xvid Video (*.avi)", "HD MPEG2-PS Video (*.mpg)", "HD MPEG2-TS Video (*.ts)"}},
        {"Matroska Video - MKV", {"MKV - Matroska Video (*.mkv)"}},
        {"General Video formates",
         {"MPEG-1 Video (*.mpg)", "MPEG-2 Video (*.mpg)", "MPEG-4 Video (*.mp4)",
          "H.264/MPEG-4 AVC Video (*.mp4)", "AVI Video (*.avi)", "WMV Video (*.wmv)",
          "Divx Video (*.avi)", "Xvid Video (*.avi)", "DV - NTSC -Digital Video Format (*.dv)",
          "DV - PAL -Digital Video Format (*.dv)"}},
        {"General Audio formates",
         {"MP3 MPEG Layer-3 Audio (*.mp3)", "AAC Advenced Audio Codec (*.aac)",
          "M4A MPEG-4 Audio (*.m4a)", "WMA - Windows Meida Audio (*.wma)",
          "WAV - Waveform Audio (*.wav)", "OGG Vorbis Audio Codec (*.ogg)",
          "AC-3 Audio Codec (*.ac3)"}},
        {"Modern Video",
         {"H.265/HEVC Video (*.mp4)", "H.265/HEVC Video (*.mkv)", "AV1 Video (*.mp4)",
          "AV1 Video (*.webm)", "VP9 Video (*.webm)", "H.264 High Quality Video (*.mkv)"}},
        {"Modern Audio",
         {"Opus Audio (*.opus)", "FLAC Lossless Audio (*.flac)", "Apple Lossless Audio (*.m4a)",
          "AAC Audio (*.m4a)"}},
        {"Web and Phones",
         {"Web Video 1080p H.264 (*.mp4)", "Phone Video 1080p H.265 (*.mp4)",
          "Small Video for Sharing 720p (*.mp4)"}},
    };
    return groups;
}

} // namespace

const std::string& TFormatCatalog::GroupText(int group) {
    static const std::string none;
    return group >= 0 && group < GroupCount ? Groups()[group].Text : none;
}

const std::vector<std::string>& TFormatCatalog::GroupEntries(int group) {
    static const std::vector<std::string> none;
    return group >= 0 && group < GroupCount ? Groups()[group].Entries : none;
}

std::string TFormatCatalog::EntryText(int code) {
    if (code < 0) {
        return {};
    }
    const std::vector<std::string>& entries = GroupEntries(code / 100);
    const int entry = code % 100;
    return entry < static_cast<int>(entries.size()) ? entries[entry] : std::string();
}

bool TFormatCatalog::IsFormatCode(int code) {
    return !EntryText(code).empty();
}

int TFormatCatalog::CodeOf(const std::string& entryText) {
    for (int group = 0; group < GroupCount; ++group) {
        const std::vector<std::string>& entries = Groups()[group].Entries;
        for (size_t entry = 0; entry < entries.size(); ++entry) {
            if (entries[entry] == entryText) {
                return group * 100 + static_cast<int>(entry);
            }
        }
    }
    return -1;
}

std::vector<int> TFormatCatalog::AllCodes() {
    std::vector<int> codes;
    for (int group = 0; group < GroupCount; ++group) {
        for (size_t entry = 0; entry < Groups()[group].Entries.size(); ++entry) {
            codes.push_back(group * 100 + static_cast<int>(entry));
        }
    }
    return codes;
}

std::string TFormatCatalog::SectionName(int code) {
    return "formatInfo" + std::to_string(code);
}

std::string TFormatCatalog::EntryExtension(const std::string& entryText) {
    const size_t start = entryText.rfind("(*.");
    if (start == std::string::npos) {
        return {};
    }
    const size_t end = entryText.find(')', start);
    if (end == std::string::npos) {
        return {};
    }
    return entryText.substr(start + 3, end - start - 3);
}
