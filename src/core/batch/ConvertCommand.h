#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class TGlobalObject;

// The headless converter: converts files to a catalog format with the desktop program's
// settings file, catalog, option building, output names and encoder component.
//
//   vantre-convert --list-formats
//   vantre-convert --format CODE [--out DIR] [--zoom full|lbox|pan]
//                  [--trim-start S] [--trim-length S] [--jobs N|auto] FILE...
class TConvertCommand {
public:
    TConvertCommand(const TGlobalObject& global, std::ostream& out, std::ostream& err);

    // The process exit code: 0 when every file converted, 1 when any failed, 2 for bad usage.
    int Run(const std::vector<std::string>& args);

    static std::string HelpText();
    // Why outputs cannot be written into the folder given with --out; empty when they can (a
    // folder that does not exist yet is made later).
    static std::string OutputFolderProblem(const std::string& folder);

private:
    struct TRequest {
        int formatCode = -1;
        std::string outputFolder;
        std::string zoom;
        double trimStart = 0;
        double trimLength = 0;
        int jobs = 0; // 0: auto
        std::vector<std::string> files;
    };

    bool Parse(const std::vector<std::string>& args, TRequest& request, bool& listOnly,
               bool& helpOnly);
    void ListFormats();
    int Convert(const TRequest& request);

    const TGlobalObject& global_;
    std::ostream& out_;
    std::ostream& err_;
};
