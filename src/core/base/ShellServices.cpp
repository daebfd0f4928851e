#include "ShellServices.h"

#include <atomic>

namespace {

class TSilentShell final : public IShellServices {
public:
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon,
                          TMsgButtons buttons) override {
        return buttons == TMsgButtons::Ok      ? TMsgResult::Ok
               : buttons == TMsgButtons::YesNo ? TMsgResult::No
                                               : TMsgResult::Cancel;
    }
    std::vector<std::string> OpenFiles(const std::string&, const std::string&,
                                       const std::string&) override {
        return {};
    }
    std::string OpenFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string ChooseFolder(const std::string&) override { return {}; }
    bool OpenPath(const std::string&) override { return false; }
    void Beep() override {}
    bool ShutDown() override { return false; }
};

TSilentShell silentShell;
std::atomic<IShellServices*> installed{nullptr};

} // namespace

IShellServices& Shell() {
    IShellServices* const services = installed.load();
    return services ? *services : silentShell;
}

IShellServices* SetShell(IShellServices* services) {
    return installed.exchange(services);
}
