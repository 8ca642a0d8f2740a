#include "support/ScriptedPrompts.h"

namespace vocomet::test {

platform::Answer ScriptedPrompts::Message(const std::string& text, platform::Buttons buttons, platform::Icon icon,
                                          const std::string&) {
    messages.push_back({text, buttons, icon});
    if (!answers.empty()) {
        platform::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
    case platform::Buttons::YesNo:
    case platform::Buttons::YesNoCancel:
        return platform::Answer::Yes;
    case platform::Buttons::RetryCancel:
        return platform::Answer::Retry;
    default:
        return platform::Answer::Ok;
    }
}

std::optional<std::string> ScriptedPrompts::NextPath() {
    if (paths.empty())
        return std::nullopt;
    auto p = paths.front();
    paths.pop_front();
    return p;
}

std::optional<std::string> ScriptedPrompts::AskOpenPath(const platform::FileDialogRequest& request) {
    openRequests.push_back(request);
    return NextPath();
}

std::optional<std::string> ScriptedPrompts::AskSavePath(const platform::FileDialogRequest& request) {
    saveRequests.push_back(request);
    return NextPath();
}

std::optional<platform::SaveChoice> ScriptedPrompts::AskSaveChoice(const platform::FileDialogRequest& request) {
    saveRequests.push_back(request);
    int filter = request.filterIndex;
    if (!saveFilters.empty()) {
        filter = saveFilters.front();
        saveFilters.pop_front();
    }
    std::optional<std::string> path = NextPath();
    if (!path)
        return std::nullopt;
    return platform::SaveChoice{*path, filter};
}

std::optional<std::string> ScriptedPrompts::AskFolder(const std::string& title, const std::string&) {
    folderRequests.push_back(title);
    return NextPath();
}

void ScriptedPrompts::SetBusy(bool busy) {
    busyDepth += busy ? 1 : -1;
    if (busyDepth > maxBusyDepth)
        maxBusyDepth = busyDepth;
}

}  // namespace vocomet::test
