#include "gui/SpeechWindowFixture.h"

#include <QMdiArea>

#include <memory>

#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "core/WaveFile.h"
#include "support/TestPaths.h"

namespace vocomet::test {

bool SpeakToWav(const std::string& wavPath, const std::string& text) {
    return RunCommand("espeak-ng -w '" + wavPath + "' '" + text + "' >/dev/null 2>&1") == 0;
}

void SpeechDocumentWindow::OpenSpeech(const std::function<void(COrielDoc&)>& adjust) {
    if (!HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng is not installed";
    folder = FreshTempDir();
    app.tempFolder = folder;
    ASSERT_TRUE(SpeakToWav(folder + "/speech.wav", "We were away a year ago, and the bird sang all day."));
    auto document = std::make_unique<COrielDoc>(app, prompts);
    RegisterWaveFormats(document->Formats());
    ASSERT_TRUE(document->OnOpenDocument(folder + "/speech.wav"));
    doc = document.get();
    if (adjust)
        adjust(*doc);
    child = new CChildFrame(std::move(document));
    frame.MdiArea()->addSubWindow(child);
    frame.resize(1100, 900);
    frame.show();
    child->show();
    view = child->GetView();
}

int SpeechDocumentWindow::LogRows() {
    return frame.LogFrame() ? frame.LogFrame()->Form()->Grid().GetRowCount() : -1;
}

}  // namespace vocomet::test
