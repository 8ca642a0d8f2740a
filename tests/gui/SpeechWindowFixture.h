#pragma once
// What the analysis-window tests share: speech spoken by espeak-ng, a main
// frame with one document window over it, and the options of a whole
// application started in a test folder.

#include <gtest/gtest.h>

#include <QString>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/ProfileStore.h"
#include "platform/Progress.h"
#include "support/ScriptedPrompts.h"

namespace vocomet::test {

// Every caption (QLabel) and read-out (QLineEdit) of the window lies whole
// inside it, apart from the others, and shows its whole text; `widest`
// gives, by object name, the widest text a read-out must have room for
// (otherwise its current text).
void ExpectReadoutsWhole(QWidget* window, const std::map<QString, QString>& widest = {});

// A computation's progress whose first poll closes the window and runs the
// deferred deletes, as a nested event loop may; it counts the polls that
// come once the window is gone (a computation that goes on without its
// window).
class ClosingProgress final : public platform::Progress {
public:
    ClosingProgress(QWidget* window, std::shared_ptr<int> pollsAfterClose)
        : m_window(window), m_pollsAfterClose(std::move(pollsAfterClose)) {}
    void SetText(const std::string&) override {}
    void SetFraction(double) override {}
    bool AbortRequested() override;

private:
    QPointer<QWidget> m_window;
    std::shared_ptr<int> m_pollsAfterClose;
};

// Speaks the text into a WAV file with espeak-ng; false when it fails.
bool SpeakToWav(const std::string& wavPath, const std::string& text);

// A 1100 x 900 main frame holding one document window over a spoken
// sentence ("speech.wav" in the test's folder). Skips without espeak-ng.
class SpeechDocumentWindow : public ::testing::Test {
protected:
    // Makes the speech and opens it; `adjust` changes the document before
    // its window is made. The test is skipped or has failed when `child`
    // is still null.
    void OpenSpeech(const std::function<void(COrielDoc&)>& adjust = {});

    int LogRows();

    std::string folder;
    ApplicationState app;
    ScriptedPrompts prompts;
    CMainFrame frame;
    COrielDoc* doc = nullptr;
    CChildFrame* child = nullptr;
    COrielView* view = nullptr;
};

}  // namespace vocomet::test
