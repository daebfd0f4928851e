// joblist-save-bench [rows] [folder]: how long saving the job list takes. Prints, over 20
// saves of a list of rows (2,000 by default; every row trimmed, cropped and with a text and
// an image watermark), the time the window thread spends taking the snapshot (what a click
// pays) and the whole save as the writer thread does it (text, temporary file, flush to
// disk, rename), median and worst.

#include "JobListStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Print(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %7.2f ms  worst %7.2f ms\n", what, ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    const std::string path = folder + "/joblist-save-bench-" + std::to_string(::getpid()) + ".txt";

    TJobList jobs;
    for (int i = 0; i < rows; ++i) {
        auto record = std::make_unique<TlvFilesRecord>();
        record->SourceFile =
            "/home/someone/Videos/holiday 2026/clip number " + std::to_string(i) + ".mkv";
        record->OutputFile =
            "/home/someone/videoconverter/clip number " + std::to_string(i) + "_(new)_ipod.mp4";
        record->LengthSeconds = 600 + i;
        record->TrimStart = 10000000;
        record->TrimLength = 90000000;
        record->CropTop = record->CropBottom = 8;
        TWmRec text;
        text.Text = "Summer " + std::to_string(i);
        text.Font.Name = "DejaVu Sans";
        TWmRec image;
        image.Kind = TWmRec::ImageItem;
        image.ImageFile = "/home/someone/Pictures/logo.bmp";
        record->WaterMarks = {text, image};
        jobs.Append(std::move(record));
    }

    std::vector<double> snapshot;
    std::vector<double> whole;
    for (int round = 0; round < 20; ++round) {
        const Clock::time_point start = Clock::now();
        const std::vector<TSavedJob> saved = TJobListStore::Snapshot(jobs, nullptr);
        const Clock::time_point taken = Clock::now();
        if (const int error = TJobListFile::Write(path, saved); error != 0) {
            std::fprintf(stderr, "cannot write %s: errno %d\n", path.c_str(), error);
            return 1;
        }
        const Clock::time_point written = Clock::now();
        snapshot.push_back(Ms(taken - start));
        whole.push_back(Ms(written - start));
    }
    const auto bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    std::printf("job list of %d rows, %ju bytes, in %s\n", rows, static_cast<std::uintmax_t>(bytes),
                folder.c_str());
    Print("snapshot on the window thread:", snapshot);
    Print("save (snapshot, write, rename):", whole);
    return 0;
}
