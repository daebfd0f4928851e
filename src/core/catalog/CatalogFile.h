#pragma once

#include "CatalogKeys.h"
#include "IniFile.h"

#include <string>
#include <vector>

// The items a parameter offers. A disabled list does not apply to the format; an enabled
// list may still be empty (the user then types a value).
struct TChoiceList {
    bool Enabled = false;
    std::vector<std::string> Items;
};

// Reads of the format catalog, which the program never writes. Every read opens the file.
class TCatalogFile {
public:
    explicit TCatalogFile(std::string fileName);

    const std::string& FileName() const { return ini_.FileName(); }

    // Whether the catalog has the format's section.
    bool HasFormat(int code) const;
    // The container or target word; "null" when absent.
    std::string Format(int code) const;
    // The output file extension without the dot; "mp4" when absent.
    std::string FileExt(int code) const;
    // The raw list text; "null" when absent.
    std::string ListText(int code, const catalogkey::TParameterKeys& parameter) const;
    TChoiceList List(int code, const catalogkey::TParameterKeys& parameter) const;
    // The default choice's index; 0 when absent.
    int DefaultIndex(int code, const catalogkey::TParameterKeys& parameter) const;
    std::string Value(int code, const std::string& key, const std::string& defaultValue) const;

    // "null" disables every list; an empty text disables the encoder and audio lists and
    // leaves the frame size, video bit rate and frame rate lists enabled and empty. Otherwise
    // the text is split at every "," without trimming; a trailing "," adds an empty item.
    static TChoiceList ParseList(const catalogkey::TParameterKeys& parameter,
                                 const std::string& text);

private:
    TIniFile ini_;
};
