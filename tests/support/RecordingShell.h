#pragma once

#include "ShellServices.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Shell services for tests: every call is recorded in order, and answers come from queues the
// test fills beforehand (an empty queue answers as a person pressing Cancel/No would).
class RecordingShell final : public IShellServices {
public:
    struct Message {
        std::string text;
        std::string caption;
        TMsgIcon icon;
        TMsgButtons buttons;
    };

    std::vector<Message> messages;
    std::vector<std::string> opened;  // OpenPath arguments
    std::vector<std::string> dialogs; // titles of file dialogs shown, and "ChooseFolder"
    int beeps = 0;
    int shutDowns = 0;

    std::deque<TMsgResult> messageAnswers;
    std::deque<std::vector<std::string>> fileAnswers;
    std::deque<std::string> folderAnswers;
    // Runs inside a message box, for tests that act while one is open.
    std::function<void(const Message&)> onMessage;

    TMsgResult MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                          TMsgButtons buttons) override {
        messages.push_back({text, caption, icon, buttons});
        if (onMessage) {
            onMessage(messages.back());
        }
        if (!messageAnswers.empty()) {
            const TMsgResult answer = messageAnswers.front();
            messageAnswers.pop_front();
            return answer;
        }
        return buttons == TMsgButtons::Ok      ? TMsgResult::Ok
               : buttons == TMsgButtons::YesNo ? TMsgResult::No
                                               : TMsgResult::Cancel;
    }
    std::vector<std::string> OpenFiles(const std::string& title, const std::string&,
                                       const std::string&) override {
        dialogs.push_back(title);
        return NextFiles();
    }
    std::string OpenFile(const std::string& title, const std::string&,
                         const std::string&) override {
        dialogs.push_back(title);
        const auto files = NextFiles();
        return files.empty() ? std::string() : files.front();
    }
    std::string ChooseFolder(const std::string&) override {
        dialogs.push_back("ChooseFolder");
        if (folderAnswers.empty()) {
            return {};
        }
        std::string folder = folderAnswers.front();
        folderAnswers.pop_front();
        return folder;
    }
    bool OpenPath(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    void Beep() override { ++beeps; }
    bool ShutDown() override {
        ++shutDowns;
        return true;
    }

private:
    std::vector<std::string> NextFiles() {
        if (fileAnswers.empty()) {
            return {};
        }
        auto files = fileAnswers.front();
        fileAnswers.pop_front();
        return files;
    }
};

} // namespace testing_support
