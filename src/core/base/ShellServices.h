#pragma once

#include <string>
#include <vector>

// Everything the program asks of the person or of the desktop goes through this interface:
// message boxes, file and folder dialogs, opening folders and web addresses, the beep and
// shutting the computer down. The desktop program installs a Qt implementation; tests install
// one that records each call and answers from a script, so no test ever waits on a dialog or
// powers a machine off.

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgResult { Ok, Cancel, Yes, No };

class IShellServices {
public:
    virtual ~IShellServices() = default;

    virtual TMsgResult MessageBox(const std::string& text, const std::string& caption,
                                  TMsgIcon icon, TMsgButtons buttons) = 0;

    // filter is in the "Description|*.a;*.b|Description|*.c" form. Empty when cancelled.
    virtual std::vector<std::string> OpenFiles(const std::string& title, const std::string& filter,
                                               const std::string& folder) = 0;
    virtual std::string OpenFile(const std::string& title, const std::string& filter,
                                 const std::string& folder) = 0;

    // The program's own folder chooser, started at folder. Empty when cancelled.
    virtual std::string ChooseFolder(const std::string& folder) = 0;

    // A folder or web address in the desktop's handler (xdg-open, started without a shell).
    virtual bool OpenPath(const std::string& pathOrAddress) = 0;

    virtual void Beep() = 0;

    // Powers the computer off (systemd-logind, else systemctl); false when refused.
    virtual bool ShutDown() = 0;
};

// The process-wide services. Until one is installed every call goes to an implementation
// that answers Cancel/No, chooses nothing and opens nothing, so headless code never blocks.
IShellServices& Shell();

// Installs services (not owned; nullptr restores the silent default) and returns the
// previous ones.
IShellServices* SetShell(IShellServices* services);

// Installs services for the lifetime of a scope.
class TScopedShell {
public:
    explicit TScopedShell(IShellServices& services) : previous_(SetShell(&services)) {}
    ~TScopedShell() { SetShell(previous_); }
    TScopedShell(const TScopedShell&) = delete;
    TScopedShell& operator=(const TScopedShell&) = delete;

private:
    IShellServices* previous_;
};
