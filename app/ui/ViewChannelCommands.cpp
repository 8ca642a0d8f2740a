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
        Redraw(*this);
}

void COrielView::OnAnalysisAverageSelectedChannel() {
    if (clickedChannel == -1)
        return;
    if (AverageChannels(GetDocument(), Edits(), clickedChannel, SaveAsOf(GetDocument())))
        Redraw(*this);
}

void COrielView::OnAnalysisIntensity() {
    const bool ok = ComputeIntensities(GetDocument());
    Redraw(*this);
    if (ok)
        RefreshStatus(*this, false);
}

void COrielView::OnAnalysisSmooth() {
    if (SmoothChannels(GetDocument(), Edits(), SaveAsOf(GetDocument())))
        Redraw(*this);
}

void COrielView::OnChannelsSetReferenceAll() {
    SetReferenceAll(GetDocument());
    RefreshStatus(*this, true);
    Redraw(*this);
}

void COrielView::OnChannelsSetReferenceAllToZero() {
    SetReferenceAllToZero(GetDocument());
    RefreshStatus(*this, true);
    Redraw(*this);
}

void COrielView::OnChannelsSetReferenceForClickedChannel() {
    if (!SetReferenceForChannel(GetDocument(), clickedChannel))
        return;
    RefreshStatus(*this, true);
    Redraw(*this);
}

void COrielView::OnEditClearToReference() {
    if (ClearToReference(GetDocument(), Edits()))
        Redraw(*this);
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
    // When a command may run for a view with data.
    enum class Rule { Data, Clicked, Egg };
    struct Command {
        QMenu* menu;
        const char* text;
        QKeySequence keys;
        const char* tip;
        void (COrielView::*run)();
        Rule rule;
    };
    const Command commands[] = {
        {frame.AnalysisMenu(), "Average All Channels", {}, nullptr, &COrielView::OnAnalysisAverageAllChannels,
         Rule::Data},
        {frame.AnalysisMenu(), "Average Selected channel", {}, nullptr,
         &COrielView::OnAnalysisAverageSelectedChannel, Rule::Clicked},
        {frame.AnalysisMenu(), "Intensity", QKeySequence(Qt::CTRL | Qt::Key_I),
         "Perform power intensity of the waveform", &COrielView::OnAnalysisIntensity, Rule::Data},
        {frame.AnalysisMenu(), "Smooth", QKeySequence(Qt::CTRL | Qt::Key_K), "Smooth the data",
         &COrielView::OnAnalysisSmooth, Rule::Data},
        {frame.ChannelsMenu(), "Set Reference All", {}, "Set the reference for all channels",
         &COrielView::OnChannelsSetReferenceAll, Rule::Data},
        {frame.ChannelsMenu(), "Set Reference All to Zero", {}, nullptr, &COrielView::OnChannelsSetReferenceAllToZero,
         Rule::Data},
        {frame.ChannelsMenu(), "Set Reference for Clicked Channel", {}, nullptr,
         &COrielView::OnChannelsSetReferenceForClickedChannel, Rule::Clicked},
        {frame.EditMenu(), "Clear to Reference", {}, nullptr, &COrielView::OnEditClearToReference, Rule::Data},
        {frame.EggMenu(), "Analysis All", {}, nullptr, &COrielView::OnEGGAnalysisAll, Rule::Egg},
        {frame.EggMenu(), "Analysis Selection", {}, nullptr, &COrielView::OnEGGAnalysisSelection, Rule::Egg},
        {frame.EggMenu(), "Option...", {}, nullptr, &COrielView::OnEGGOption, Rule::Egg},
        {frame.EggMenu(), "SetChannel", {}, nullptr, &COrielView::OnEGGSetChannel, Rule::Data},
    };
    auto actions = std::make_shared<std::vector<std::pair<QAction*, Rule>>>();
    std::vector<QMenu*> menus;
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
        actions->emplace_back(action, c.rule);
        if (std::find(menus.begin(), menus.end(), c.menu) == menus.end())
            menus.push_back(c.menu);
    }
    const auto update = [viewOf, actions] {
        COrielView* view = viewOf();
        const bool data = view && view->GetDocument().IsDataLoaded();
        for (const auto& [action, rule] : *actions) {
            bool on = data;
            if (on && rule == Rule::Clicked)
                on = view->clickedChannel >= 0 && view->clickedChannel < view->GetDocument().GetChannelCount();
            if (on && rule == Rule::Egg)
                on = ValidEggChannel(view->GetDocument()) >= 0;
            action->setEnabled(on);
        }
    };
    for (QMenu* menu : menus)
        QObject::connect(menu, &QMenu::aboutToShow, &frame, update);
    QObject::connect(frame.MdiArea(), &QMdiArea::subWindowActivated, &frame, update);
    update();
}

}  // namespace vocomet
