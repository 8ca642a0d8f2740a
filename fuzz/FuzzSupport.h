#pragma once
// What the reader harnesses share: prompts that answer without a person, a
// work folder that lives for the run, and a document to feed inputs to.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace fuzzing {

// Answers every question with its first button and every chooser with Cancel.
class AnsweringPrompts : public platform::UserPrompts {
public:
    platform::Answer Message(const std::string&, platform::Buttons buttons, platform::Icon,
                             const std::string&) override {
        switch (buttons) {
        case platform::Buttons::YesNo:
        case platform::Buttons::YesNoCancel: return platform::Answer::Yes;
        case platform::Buttons::RetryCancel: return platform::Answer::Cancel;
        default: return platform::Answer::Ok;
        }
    }
    void Beep() override {}
    std::optional<std::string> AskOpenPath(const platform::FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> AskSavePath(const platform::FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> AskFolder(const std::string&, const std::string&) override { return std::nullopt; }
    void SetBusy(bool) override {}
};

// A folder of its own for the run, removed at exit.
inline std::filesystem::path WorkFolder() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/vocomet_fuzz.XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            std::abort();
        static const std::string madePath = made;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(madePath, ec);
        });
        return std::filesystem::path(made);
    }();
    return folder;
}

// Writes the input as a file named inputName in the work folder, hands it to
// use with a fresh document (null progress, temp folder = work folder), then
// clears the scratch data files the document left (it is gone, and the
// folder must not grow).
inline void WithDocumentOnInput(const std::uint8_t* data, std::size_t size, const std::string& inputName,
                                const std::function<void(vocomet::COrielDoc&, const std::filesystem::path&)>& use) {
    const std::filesystem::path folder = WorkFolder();
    const std::filesystem::path input = folder / inputName;
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    {
        static vocomet::ApplicationState app;
        app.tempFolder = folder.string();
        app.startFolder = folder.string();
        AnsweringPrompts prompts;
        vocomet::COrielDoc document(app, prompts);
        use(document, input);
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("$$TempFile", 0) == 0)
            std::filesystem::remove(entry.path(), ec);
}

}  // namespace fuzzing
