#pragma once
// What the analysis-window tests share: speech spoken by espeak-ng, a main
// frame with one document window over it, and the options of a whole
// application started in a test folder.

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/ProfileStore.h"
#include "support/ScriptedPrompts.h"

namespace vocomet::test {

// Every caption (QLabel) and read-out (QLineEdit) of the window lies whole
// inside it, apart from the others, and shows its whole text; `widest`
// gives, by object name, the widest text a read-out must have room for
// (otherwise its current text).
void ExpectReadoutsWhole(QWidget* window, const std::map<QString, QString>& widest = {});

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
