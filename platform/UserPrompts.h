#pragma once
// How headless code talks to the user: message boxes, questions, file and
// folder choosers, the wait cursor and the beep. The application implements
// it with Qt; tests use a scripted double. All texts are UTF-8.

#include <optional>
#include <string>
#include <utility>

namespace platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No, Retry };

// A file-chooser filter in the usual "Description (*.a *.b)" form; several
// filters are separated by ";;".
struct FileDialogRequest {
    std::string title;
    std::string filter;
    std::string initialPath;   // folder or file
    std::string defaultSuffix; // without the dot, for save dialogs
    int filterIndex = 0;       // 1-based filter selected when the dialog opens; 0 for the first
};

// What a save chooser answers: the path and the filter the user left
// selected, which decides the format the file is written in.
struct SaveChoice {
    std::string path;
    int filterIndex = 0;  // 1-based; 0 when the chooser cannot say
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // Shows a message and returns the button chosen.
    virtual Answer Message(const std::string& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::Warning,
                           const std::string& caption = "Vocomet") = 0;
    virtual void Beep() = 0;

    // Empty when the user cancelled.
    virtual std::optional<std::string> AskOpenPath(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> AskSavePath(const FileDialogRequest& request) = 0;
    // A save chooser that also says which filter was selected. This default
    // cannot say: it answers filter 0.
    virtual std::optional<SaveChoice> AskSaveChoice(const FileDialogRequest& request) {
        std::optional<std::string> path = AskSavePath(request);
        if (!path)
            return std::nullopt;
        return SaveChoice{std::move(*path), 0};
    }
    // An open chooser that also says which filter was selected, answered in
    // the same form. This default cannot say: it answers filter 0.
    virtual std::optional<SaveChoice> AskOpenChoice(const FileDialogRequest& request) {
        std::optional<std::string> path = AskOpenPath(request);
        if (!path)
            return std::nullopt;
        return SaveChoice{std::move(*path), 0};
    }
    virtual std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) = 0;

    // Wait cursor on (true) or off (false); calls nest.
    virtual void SetBusy(bool busy) = 0;
};

// Keeps the wait cursor on for the lifetime of the guard.
class BusyGuard {
public:
    explicit BusyGuard(UserPrompts& prompts) : m_prompts(prompts) { m_prompts.SetBusy(true); }
    ~BusyGuard() { m_prompts.SetBusy(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    UserPrompts& m_prompts;
};

}  // namespace platform
