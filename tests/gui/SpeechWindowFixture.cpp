#include "gui/SpeechWindowFixture.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QStyle>

#include <memory>
#include <vector>

#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "core/WaveFile.h"
#include "support/TestPaths.h"

namespace vocomet::test {

bool ClosingProgress::AbortRequested() {
    if (m_window) {
        m_window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else {
        ++*m_pollsAfterClose;
    }
    return false;
}

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

void ExpectReadoutsWhole(QWidget* window, const std::map<QString, QString>& widest) {
    const QRect client = window->rect();
    std::vector<std::pair<std::string, QRect>> boxes;
    for (QLabel* caption : window->findChildren<QLabel*>()) {
        const QRect r(caption->mapTo(window, QPoint(0, 0)), caption->size());
        const std::string name = caption->text().toStdString();
        EXPECT_TRUE(client.contains(r)) << name;
        EXPECT_LE(caption->fontMetrics().horizontalAdvance(caption->text()), caption->contentsRect().width()) << name;
        boxes.emplace_back(name, r);
    }
    for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
        const QRect r(field->mapTo(window, QPoint(0, 0)), field->size());
        const auto w = widest.find(field->objectName());
        const QString text = w != widest.end() ? w->second : field->text();
        const std::string name = field->objectName().toStdString() + " " + text.toStdString();
        EXPECT_TRUE(client.contains(r)) << name;
        const int frameWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        EXPECT_LE(field->fontMetrics().horizontalAdvance(text), field->width() - 2 * frameWidth - 4) << name;
        boxes.emplace_back(name, r);
    }
    EXPECT_FALSE(boxes.empty());
    for (std::size_t a = 0; a < boxes.size(); ++a)
        for (std::size_t b = a + 1; b < boxes.size(); ++b)
            EXPECT_FALSE(boxes[a].second.intersects(boxes[b].second)) << boxes[a].first << " / " << boxes[b].first;
}

int SpeechDocumentWindow::LogRows() {
    return frame.LogFrame() ? frame.LogFrame()->Form()->Grid().GetRowCount() : -1;
}

}  // namespace vocomet::test
