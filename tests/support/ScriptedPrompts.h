#pragma once
// A UserPrompts double for tests: answers come from a script, and every
// message and request is recorded for the test to check.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"

namespace vocomet::test {

class ScriptedPrompts : public platform::UserPrompts {
public:
    // Answers to give, in order. When the script runs out, Message answers
    // Ok/Yes/Retry by the buttons shown (the first button) and the path
    // choosers answer "cancelled".
    std::deque<platform::Answer> answers;
    std::deque<std::optional<std::string>> paths;  // for open, save and folder choosers
    // Filters the user picks in save choosers, in order (0: the chooser
    // cannot say). When the script runs out, the filter the chooser opened
    // with stays picked.
    std::deque<int> saveFilters;

    struct Shown {
        std::string text;
        platform::Buttons buttons;
        platform::Icon icon;
    };
    std::vector<Shown> messages;
    std::vector<platform::FileDialogRequest> openRequests;
    std::vector<platform::FileDialogRequest> saveRequests;
    std::vector<std::string> folderRequests;
    int beeps = 0;
    int busyDepth = 0;
    int maxBusyDepth = 0;

    platform::Answer Message(const std::string& text, platform::Buttons buttons, platform::Icon icon,
                             const std::string& caption) override;
    void Beep() override { ++beeps; }
    std::optional<std::string> AskOpenPath(const platform::FileDialogRequest& request) override;
    std::optional<std::string> AskSavePath(const platform::FileDialogRequest& request) override;
    std::optional<platform::SaveChoice> AskSaveChoice(const platform::FileDialogRequest& request) override;
    std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) override;
    void SetBusy(bool busy) override;

    // The last message text, or empty.
    std::string LastMessage() const { return messages.empty() ? std::string() : messages.back().text; }

private:
    std::optional<std::string> NextPath();
};

}  // namespace vocomet::test
