#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A write that could not be done. The file on disk is left exactly as it was.
class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One INI file with the private-profile rules every reader and writer of the settings and
// the catalog follows:
// - section and key names are compared without regard to ASCII case;
// - values are trimmed of blanks, and one pair of enclosing quotes is removed, when read;
// - every call opens the file, reads or writes, and closes it, so a value written through one
//   object (or another program) is seen by the next read through any other; only the parse of
//   the very same bytes is reused;
// - a missing file, key or section, or a value that does not convert, reads as the default;
//   a file that does not exist comes into being with the first write;
// - every write replaces the file through a temporary file in the same folder and rename(),
//   so a crash leaves either the old or the new file, never half of one; a write that fails
//   raises EIniFileError and leaves the old file untouched.
class TIniFile {
public:
    using TValues = std::vector<std::pair<std::string, std::string>>;

    // Larger files, and anything that is not a regular file (a link, a pipe, a device), are
    // not read: reads give the defaults, writes are refused (a link is replaced).
    static constexpr long MaxFileSize = 1024 * 1024;

    explicit TIniFile(std::string fileName);

    // Why the file cannot be read as settings (not a regular file, too large); empty when it
    // can, or when nothing is there.
    static std::string Unsuitable(const std::string& fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // Any integer other than 0 is true.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    bool SectionExists(const std::string& section) const;
    // Section names in file order.
    std::vector<std::string> Sections() const;
    // Every section with its keys and values, in file order, from one read of the file.
    using TContent = std::vector<std::pair<std::string, TValues>>;
    TContent ReadAll() const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);
    // Written as "1" or "0".
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // Several keys of one section in one replacement of the file, in the given order (a key
    // named twice keeps its last value).
    void WriteStrings(const std::string& section, const TValues& values);
    void DeleteKey(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);

private:
    std::string fileName_;
};
