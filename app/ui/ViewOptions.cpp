// The Options menu's dialog commands of the main view.

#include "app/ui/ViewOptions.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMenu>
#include <QResizeEvent>
#include <memory>
#include <vector>

#include "analysis/ui/QtAnalysisOptionDialogs.h"
#include "app/OptionCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CDialogOptionDisplay.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

// The status window, when one is open in this application.
CStatusWindow* OpenStatusWindow(QWidget* from) {
    if (QWidget* top = from->window())
        if (auto* s = top->findChild<CStatusWindow*>(); s && s->isVisible())
            return s;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<CStatusWindow*>(w); s && s->isVisible())
            return s;
    return nullptr;
}

}  // namespace

// Runs one analysis option command with the view's dialogs (the Qt ones
// unless a test put others in optionDialogs).
template <typename Command>
static bool RunWithDialogs(COrielView& view, AnalysisOptionDialogs* dialogs, Command command) {
    if (dialogs)
        return command(*dialogs);
    QtAnalysisOptionDialogs qt(&view, view.GetDocument().Prompts());
    return command(qt);
}

void COrielView::OnOptionsDisplay() {
    COrielDoc& doc = GetDocument();
    CDialogOptionDisplay dialog(doc.Prompts(), this);
    dialog.document = &doc;
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    ApplyDisplayOptions();
}

void COrielView::ApplyDisplayOptions() {
    COrielDoc& doc = GetDocument();
    // A new layout for the new strip heights, as a resize would make it
    // (the scroll area sees its viewport's resizes).
    const QSize client = viewport()->size();
    QCoreApplication::postEvent(viewport(), new QResizeEvent(client, client));
    if (CStatusWindow* status = OpenStatusWindow(this))
        status->ShowDocument(this, &doc);
    SetRedraw();
    viewport()->update();
    doc.SetModifiedFlag(true);
    StoreDisplayOptionsToConfig(doc.App().ConfigurationFilePath(), doc.settings);
}

void COrielView::OnOptionsFFTLPC() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return FftLpcOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsSpectrogram() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return SpectrogramOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsPitch() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return PitchOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsIntensitySmooth() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return IntensitySmoothOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsZoom() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return ZoomOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsLog() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, optionDialogs,
                   [&](AnalysisOptionDialogs& d) { return LogOptionsCommand(GetDocument(), d, path); });
}

void COrielView::OnOptionsCalibration() {
    COrielDoc& doc = GetDocument();
    const bool ok =
        RunWithDialogs(*this, optionDialogs, [&](AnalysisOptionDialogs& d) { return CalibrationOptionsCommand(doc, d); });
    if (!ok)
        return;
    if (CStatusWindow* status = OpenStatusWindow(this)) {
        status->SetTitle(QString::fromStdString(doc.GetTitle()));
        status->ShowDocument(this, &doc);
    }
    ReleaseBuffers();
    LayoutChannels();
    SetRedraw();
    viewport()->update();
    doc.SetModifiedFlag(true);
}

void AddOptionCommands(QMenu& options, CMainFrame& frame, std::function<CChildFrame*()> activeFrame) {
    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* f = activeFrame();
        return f ? f->GetView() : nullptr;
    };
    struct Command {
        const char* text;
        void (COrielView::*run)();
        ViewCommand rule;
    };
    const Command commands[] = {
        {"Display", &COrielView::OnOptionsDisplay, ViewCommand::OptionsDisplay},
        {"Zoom...", &COrielView::OnOptionsZoom, ViewCommand::OptionsZoom},
        {"FFT/LPC...", &COrielView::OnOptionsFFTLPC, ViewCommand::OptionsFftLpc},
        {"Spectrogram...", &COrielView::OnOptionsSpectrogram, ViewCommand::OptionsSpectrogram},
        {"Pitch...", &COrielView::OnOptionsPitch, ViewCommand::OptionsPitch},
        {"Intensity/Smooth", &COrielView::OnOptionsIntensitySmooth, ViewCommand::OptionsIntensitySmooth},
        {"Log...", &COrielView::OnOptionsLog, ViewCommand::OptionsLog},
        {"Calibration...", &COrielView::OnOptionsCalibration, ViewCommand::OptionsCalibration},
    };
    for (const Command& c : commands) {
        QAction* action = options.addAction(QString::fromLatin1(c.text), &frame, [viewOf, run = c.run] {
            if (COrielView* view = viewOf())
                (view->*run)();
        });
        DeclareViewCommand(action, c.rule);
    }
}

}  // namespace vocomet
