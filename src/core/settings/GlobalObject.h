#pragma once

#include <string>
#include <vector>

// The places of the user's environment the application depends on.
struct TUserPlaces {
    std::string Home;        // the home folder: $HOME, else the password database
    std::string XdgDataHome; // $XDG_DATA_HOME; ignored unless an absolute path

    static TUserPlaces FromProcess();
};

// The application's single global object: where its files live, the product texts and a few
// platform helpers.
class TGlobalObject {
public:
    static constexpr const char* SettingsFileName = "vantremp4videoconverter.ini";
    static constexpr const char* CatalogFileName = "vantremp4format.ini";
    static constexpr const char* ProductTitle = "Vantre MP4 Video Converter";

    // Fixes the file paths in the data folder of the current user.
    TGlobalObject();
    explicit TGlobalObject(TUserPlaces places);

    const std::string& HelpLink() const { return helpLink_; }
    const std::string& SettingsFile() const { return settingsFile_; }
    const std::string& CatalogFile() const { return catalogFile_; }
    const std::string& Title() const { return title_; }
    const std::string& VersionText() const { return versionText_; }
    const std::string& WebLink() const { return webLink_; }

    // File paths need more than 3 characters, the texts at least 1; a shorter value leaves
    // the field unchanged.
    void SetHelpLink(const std::string& value);
    void SetSettingsFile(const std::string& value);
    void SetCatalogFile(const std::string& value);
    void SetTitle(const std::string& value);
    void SetVersionText(const std::string& value);
    void SetWebLink(const std::string& value);

    const std::string& HomeFolder() const { return places_.Home; }
    // $XDG_DATA_HOME/vantre, by default ~/.local/share/vantre.
    std::string DataFolder() const;
    // Where output and snapshots go unless the user chose otherwise: ~/videoconverter.
    std::string DefaultOutputFolder() const;
    // Creates the data folder with its missing parents; false when it cannot be made.
    bool EnsureDataFolder() const;
    // Copies the installed catalog into the data folder when no catalog is there yet (the
    // folder is created when needed). A catalog already there is checked against the
    // installed one: a damaged or older copy is kept as a backup beside it (".bak") and
    // replaced, with a warning in the log that is also returned; a newer or sound one is kept.
    // Raises EIniFileError when a copy cannot be made. Returns the warning, or empty.
    std::string InstallCatalog(const std::string& installedCatalog) const;

    // Moves the settings file and the catalog aside (as FreeBackupName) when they cannot be
    // read as settings (TIniFile::Unsuitable), so that the defaults serve and the next save
    // loses nothing. Returns a message for each file moved.
    std::vector<std::string> SetAsideUnsuitableFiles() const;

    // The first existing file among the candidates; empty when there is none.
    static std::string FindInstalledCatalog(const std::vector<std::string>& candidates);
    // Where an installed program finds its catalog (<prefix>/share/vantre beside the program's
    // bin folder), then the source tree's data folder for programs run from a build tree.
    static std::vector<std::string> InstalledCatalogCandidates();
    // The folder of the running program.
    static std::string ProgramFolder();

    // The last n characters (UTF-8 code points) of text; all of it when shorter.
    static std::string RightChars(const std::string& text, int n);
    // The version as shown after the title: " " + major + "." + minor, release and build
    // without separators, + " " (3.6.0.0 gives " 3.600 ").
    static std::string FileVersionText(int major, int minor, int release, int build);
    // Creates and deletes a temporary file in path; true when both succeed.
    static bool CanWriteFolder(const std::string& path);
    // The logged-on user's name, at most 253 characters.
    static std::string UserName();

private:
    std::string RenewCatalog(const std::string& installedCatalog) const;
    static std::string ReadCatalogText(const std::string& installedCatalog);
    void WriteCatalog(const std::string& content) const;
    // The first of "<file>.bak", "<file>.bak.1", ... that does not exist.
    static std::string FreeBackupName(const std::string& file);

    TUserPlaces places_;
    std::string helpLink_;
    std::string settingsFile_;
    std::string catalogFile_;
    std::string title_;
    std::string versionText_;
    std::string webLink_;
};
