// settings_start_bench: how long the start of the program takes to read its settings when the
// settings file is a regular file, a named pipe or a file of 2 MiB (the last two are moved
// aside with a message and the defaults serve). Prints one line per case.
// Usage: settings_start_bench

#include "GlobalObject.h"
#include "MainWindowModel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TCase {
    const char* name;
    std::function<void(const std::string& settingsFile)> make;
};

} // namespace

int main() {
    const std::vector<TCase> cases = {
        {"regular file",
         [](const std::string& file) { std::ofstream(file) << "[Settings]\nFormatCode=2302\n"; }},
        {"named pipe", [](const std::string& file) { ::mkfifo(file.c_str(), 0600); }},
        {"2 MiB file",
         [](const std::string& file) {
             std::string text = "[Settings]\nFormatCode=2302\n";
             text.resize(2 * 1024 * 1024, ';');
             std::ofstream(file) << text;
         }},
    };
    for (const TCase& c : cases) {
        std::string pattern = (fs::temp_directory_path() / "settings_start_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        const TUserPlaces places{pattern, ""};
        const std::string settingsFile = TGlobalObject(places).SettingsFile();
        fs::create_directories(fs::path(settingsFile).parent_path());
        c.make(settingsFile);
        const auto start = std::chrono::steady_clock::now();
        std::size_t warnings = 0;
        {
            const TMainWindowModel model(places);
            warnings = model.StartUpWarnings().size();
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("%-13s start %8.1f ms, %zu warning(s)\n", c.name, ms, warnings);
        fs::remove_all(pattern);
    }
    return 0;
}
