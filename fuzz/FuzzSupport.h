#pragma once
// What the reader harnesses share: prompts that answer without a person, a
// work folder that lives for the run, and a document to feed inputs to.
//
// Speed matters here: a harness that manages a few hundred inputs a second
// barely scratches a reader in a short run. So the work folder sits on a RAM
// file system when there is one (every document writes its settings file
// back, with a flush to disk, when it closes), the input is written with one
// plain write and no flush, and what does not belong to one input (prompts,
// the folder, the default settings file) is made once per run.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/DocumentSettings.h"
#include "platform/File.h"
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

// Where the work folder goes: /dev/shm when it is a writable folder with
// room to spare (RAM, so the flushes of the settings file and the scratch
// files cost nothing), else the temp folder.
inline std::filesystem::path WorkFolderParent() {
    constexpr std::uintmax_t kRoomNeeded = std::uintmax_t{16} << 20;  // inputs are kilobytes
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK | X_OK) == 0) {
        const std::filesystem::space_info room = std::filesystem::space("/dev/shm", ec);
        if (!ec && room.available >= kRoomNeeded)
            return "/dev/shm";
    }
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    return ec ? std::filesystem::path("/tmp") : temp;
}

// A folder of its own for the run, removed at exit.
inline const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (WorkFolderParent() / "vocomet_fuzz.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror(pattern.c_str());
            std::abort();
        }
        static const std::string madePath = pattern;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(madePath, ec);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Replaces the file at path with the bytes, without a flush.
inline void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    ::close(fd);
}

// Removes the scratch data files a document left behind (it is gone, and
// the folder must not grow from one input to the next).
inline void RemoveScratchFiles(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("$$TempFile", 0) == 0)
            std::filesystem::remove(entry.path(), ec);
}

// Writes the input as a file named inputName in the work folder, hands it to
// use with a fresh document (null progress, temp folder = work folder), then
// clears the scratch data files the document left. Each input gets its own
// document and application state, so a crash found here replays from its
// input alone.
template <typename Use>
void WithDocumentOnInput(const std::uint8_t* data, std::size_t size, const std::string& inputName, Use&& use) {
    static const std::filesystem::path& folder = WorkFolder();
    static const std::filesystem::path input = folder / inputName;
    static const std::string inputPath = input.string();
    static AnsweringPrompts prompts;
    // The application state is made anew for every input; the settings file
    // it points at is written once, by a first document, before any input.
    static std::optional<vocomet::ApplicationState> app;
    const auto freshApplication = [] {
        app.emplace();
        app->tempFolder = folder.string();
        app->startFolder = folder.string();
    };
    static const bool settingsFileWritten = [&] {
        freshApplication();
        vocomet::COrielDoc first(*app, prompts);
        return true;
    }();
    (void)settingsFileWritten;

    WriteInput(inputPath, data, size);
    freshApplication();
    {
        vocomet::COrielDoc document(*app, prompts);
        use(document, input);
    }
    // A scratch file the document let go is closed on a thread of its own.
    // That thread must be done before the input is: the leak check that
    // follows an input would otherwise find the file's memory held by a
    // thread that has not started yet, and report a leak that is none.
    platform::WaitForBackgroundCloses();
    RemoveScratchFiles(folder);
}

// The answers of the generic-file dialog, from the input's last byte:
// header size (-1 to 6), 8 or 16 bits, byte order, a usable or an unusable
// rate, integer binary or ASCII; a last byte of 0xFF cancels the dialog.
inline std::optional<vocomet::GenericFileAnswers> GenericAnswersFor(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t b = size > 0 ? data[size - 1] : 0;
    if (b == 0xFF)
        return std::nullopt;
    vocomet::GenericFileAnswers answers;
    answers.headerBytes = (b & 0x07) - 1;
    answers.sixteenBit = (b >> 3) & 1;
    answers.highByteFirst = (b >> 4) & 1;
    answers.sampleRate = (b & 0x20) ? 16000 : ((b & 0x80) ? 0 : 3);
    answers.integerBinary = (b >> 6) & 1;
    return answers;
}

// Opens the input, named inputName, as File > Open does: the readers in
// their order, then (when none knew the file) the generic-file dialog,
// answered from the input (GenericAnswersFor). The channel a multichannel
// reader asks for also comes from the input, Cancel included. Every input
// must end as a load or a refusal, never a crash, a hang or a huge
// allocation. Nothing is done that the open path does not do: no save.
inline void OpenInput(const std::uint8_t* data, std::size_t size, const std::string& inputName) {
    WithDocumentOnInput(data, size, inputName, [data, size](vocomet::COrielDoc& document,
                                                            const std::filesystem::path& input) {
        document.Hooks().askGenericFile = [data, size](const vocomet::GenericFileAnswers&) {
            return GenericAnswersFor(data, size);
        };
        document.Hooks().chooseFileChannel = [size](int count) -> std::optional<int> {
            const int choice = static_cast<int>(size % static_cast<std::size_t>(count + 1)) - 1;
            return choice < 0 ? std::nullopt : std::optional<int>(choice);
        };
        document.OnOpenDocument(input.string());
    });
}

}  // namespace fuzzing
