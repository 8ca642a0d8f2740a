// Feeds arbitrary bytes, as a file, to the WAV reader: every input must end
// as a load or a refusal, never a crash, a hang or a huge allocation. A
// loaded recording is also written back as WAV (or refused cleanly).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/WaveFile.h"
#include "platform/UserPrompts.h"

namespace {

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

std::filesystem::path WorkFolder() {
    static const std::filesystem::path folder = [] {
        char pattern[] = "/tmp/fuzz_wave_reader.XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            std::abort();
        static const std::string made_path = made;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(made_path, ec);
        });
        return std::filesystem::path(made);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path folder = WorkFolder();
    const std::filesystem::path input = folder / "input.wav";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    {
        static vocomet::ApplicationState app;
        app.tempFolder = folder.string();
        app.startFolder = folder.string();
        AnsweringPrompts prompts;
        vocomet::COrielDoc document(app, prompts);  // a null progress: no factory is set
        platform::File file(input.string(), platform::File::Mode::Read);
        auto staging = document.NewStagingRecording();
        if (vocomet::ReadWaveFile(document, file, *staging) == vocomet::kReaderLoaded) {
            document.AdoptRecording(std::move(staging));
            document.SaveDocumentAs((folder / "output.wav").string(), vocomet::kFileTypeWave, false);
        }
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename().string().rfind("$$TempFile", 0) == 0)
            std::filesystem::remove(entry.path(), ec);
    return 0;
}
