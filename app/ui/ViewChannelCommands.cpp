// The channel commands of the main view.

#include "app/ui/ViewChannelCommands.h"

#include <QAction>
#include <algorithm>
#include <QKeySequence>
#include <QMdiArea>
#include <QMenu>
#include <memory>
#include <vector>

#include "analysis/ui/QtAnalysisOptionDialogs.h"
#include "app/ChannelCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

void Redraw(COrielView& view) {
    view.SetRedraw();
    view.viewport()->update();
}

// Samples or intensity curves changed where they lay: the drawing's
// summaries of them and its open intensity files must go too.
void DataChanged(COrielView& view) {
    view.OnSamplesChanged();
}

void RefreshStatus(COrielView& view, bool withTitle) {
    if (CStatusWindow* status = view.statusWindow) {
        if (withTitle)
            status->SetTitle(QString::fromStdString(view.GetDocument().GetTitle()));
        status->ShowDocument(&view, &view.GetDocument());
    }
}

SaveAsFunction SaveAsOf(COrielDoc& doc) {
    return [&doc] { return doc.FileSaveAs(); };
}

template <typename Command>
bool RunWithDialogs(COrielView& view, Command command) {
    if (view.optionDialogs)
        return command(*view.optionDialogs);
    QtAnalysisOptionDialogs qt(&view, view.GetDocument().Prompts());
    return command(qt);
}

}  // namespace

void COrielView::OnAnalysisAverageAllChannels() {
    if (AverageChannels(GetDocument(), Edits(), -1, SaveAsOf(GetDocument())))
        DataChanged(*this);
}

void COrielView::OnAnalysisAverageSelectedChannel() {
    if (clickedChannel == -1)
        return;
    if (AverageChannels(GetDocument(), Edits(), clickedChannel, SaveAsOf(GetDocument())))
        DataChanged(*this);
}

void COrielView::OnAnalysisIntensity() {
    if (!ComputeIntensities(GetDocument()))
        return;  // cancelled or failed: every curve as it was
    DataChanged(*this);
    RefreshStatus(*this, false);
}

void COrielView::OnAnalysisSmooth() {
    if (SmoothChannels(GetDocument(), Edits(), SaveAsOf(GetDocument())))
        DataChanged(*this);
}

void COrielView::OnChannelsSetReferenceAll() {
    SetReferenceAll(GetDocument());
    RefreshStatus(*this, true);
    DataChanged(*this);  // valid intensity curves were made again
}

void COrielView::OnChannelsSetReferenceAllToZero() {
    SetReferenceAllToZero(GetDocument());
    RefreshStatus(*this, true);
    DataChanged(*this);
}

void COrielView::OnChannelsSetReferenceForClickedChannel() {
    if (!SetReferenceForChannel(GetDocument(), clickedChannel))
        return;
    RefreshStatus(*this, true);
    DataChanged(*this);
}

void COrielView::OnEditClearToReference() {
    if (ClearToReference(GetDocument(), Edits()))
        DataChanged(*this);
}

void COrielView::OnEGGAnalysisAll() {
    if (!EggAnalysis(GetDocument(), false))
        return;
    Redraw(*this);
    RefreshStatus(*this, false);
}

void COrielView::OnEGGAnalysisSelection() {
    if (!EggAnalysis(GetDocument(), true))
        return;
    Redraw(*this);
    RefreshStatus(*this, false);
}

void COrielView::OnEGGOption() {
    // The options belong to the EGG channel: without one there is nothing
    // to set, and the user should learn why nothing opens.
    if (ValidEggChannel(GetDocument()) < 0) {
        GetDocument().Prompts().Message(kNoEggChannelForOptions, platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    const std::string path = GetDocument().App().ConfigurationFilePath();
    if (!RunWithDialogs(*this, [&](AnalysisOptionDialogs& d) { return EggOptionsCommand(GetDocument(), d, path); }))
        return;
    RedrawBuffers();
    RefreshStatus(*this, false);
}

void COrielView::OnEGGSetChannel() {
    const std::string path = GetDocument().App().ConfigurationFilePath();
    RunWithDialogs(*this, [&](AnalysisOptionDialogs& d) { return EggSetChannelCommand(GetDocument(), d, path); });
}

void AddChannelCommands(CMainFrame& frame, std::function<CChildFrame*()> activeFrame) {
    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* f = activeFrame();
        return f ? f->GetView() : nullptr;
    };
    struct Command {
        QMenu* menu;
        const char* text;
        QKeySequence keys;
        const char* tip;
        void (COrielView::*run)();
        ViewCommand rule;
    };
    const Command commands[] = {
        {frame.AnalysisMenu(), "Average All Channels", {}, nullptr, &COrielView::OnAnalysisAverageAllChannels,
         ViewCommand::AnalysisAverageAllChannels},
        {frame.AnalysisMenu(), "Average Selected channel", {}, nullptr,
         &COrielView::OnAnalysisAverageSelectedChannel, ViewCommand::AnalysisAverageSelectedChannel},
        {frame.AnalysisMenu(), "Intensity", QKeySequence(Qt::CTRL | Qt::Key_I),
         "Perform power intensity of the waveform", &COrielView::OnAnalysisIntensity, ViewCommand::AnalysisIntensity},
        {frame.AnalysisMenu(), "Smooth", QKeySequence(Qt::CTRL | Qt::Key_K), "Smooth the data",
         &COrielView::OnAnalysisSmooth, ViewCommand::AnalysisSmooth},
        {frame.ChannelsMenu(), "Set Reference All", {}, "Set the reference for all channels",
         &COrielView::OnChannelsSetReferenceAll, ViewCommand::ChannelsSetReferenceAll},
        {frame.ChannelsMenu(), "Set Reference All to Zero", {}, nullptr, &COrielView::OnChannelsSetReferenceAllToZero,
         ViewCommand::ChannelsSetReferenceAllToZero},
        {frame.ChannelsMenu(), "Set Reference for Clicked Channel", {}, nullptr,
         &COrielView::OnChannelsSetReferenceForClickedChannel, ViewCommand::ChannelsSetReferenceForClickedChannel},
        {frame.EditMenu(), "Clear to Reference", {}, nullptr, &COrielView::OnEditClearToReference,
         ViewCommand::EditClearToReference},
        {frame.EggMenu(), "Analysis All", {}, nullptr, &COrielView::OnEGGAnalysisAll, ViewCommand::EggAnalysisAll},
        {frame.EggMenu(), "Analysis Selection", {}, nullptr, &COrielView::OnEGGAnalysisSelection,
         ViewCommand::EggAnalysisSelection},
        {frame.EggMenu(), "Option...", {}, nullptr, &COrielView::OnEGGOption, ViewCommand::EggOption},
        {frame.EggMenu(), "SetChannel", {}, nullptr, &COrielView::OnEGGSetChannel, ViewCommand::EggSetChannel},
    };
    for (const Command& c : commands) {
        if (!c.menu)
            continue;
        QAction* action = new QAction(QString::fromLatin1(c.text), c.menu);
        if (!c.keys.isEmpty())
            action->setShortcut(c.keys);
        if (c.tip)
            action->setStatusTip(QString::fromLatin1(c.tip));
        QObject::connect(action, &QAction::triggered, &frame, [viewOf, run = c.run] {
            if (COrielView* view = viewOf())
                (view->*run)();
        });
        c.menu->addAction(action);
        DeclareViewCommand(action, c.rule);
    }
}

}  // namespace vocomet
