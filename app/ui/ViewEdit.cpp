// COrielView's editing commands: the rules live in EditSession and the
// data operations in DocumentEdits; here the view follows with its picture,
// scroll bar and windows.

#include "app/ui/ViewEdit.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/CFrameLabelView.h"
#include "app/ui/COrielView.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"

namespace vocomet {

bool COrielView::CanEditCopy() const { return UpdateViewCommand(ViewCommand::EditCopy, CommandStateOf(*this)).enabled; }

bool COrielView::CanEditPaste() const {
    return UpdateViewCommand(ViewCommand::EditPaste, CommandStateOf(*this)).enabled;
}

bool COrielView::CanEditUndo() const { return UpdateViewCommand(ViewCommand::EditUndo, CommandStateOf(*this)).enabled; }

void COrielView::SaveUndoFile() {
    if (!m_edits.SaveUndoFile(m_doc, m_doc.Prompts()))
        throw platform::UserException();
}

void COrielView::RestoreUndoFile() {
    if (!m_edits.RestoreUndoFile(m_doc, m_doc.Prompts()))
        throw platform::UserException();
}

void COrielView::CutSelection() {
    if (!m_edits.CutSelection(m_doc, m_doc.Prompts()))
        throw platform::UserException();
}

void COrielView::FinishEdit(bool newChannels) {
    ClearSelection();
    if (newChannels)
        m_scroll.ResetHorizontal();
    // Laid out again every time: an undo or a paste into an empty document
    // hands the document new channels, which know nothing of their strips.
    OnSize();
    WindowFromScrollPos();
    SyncScrollBars();
    for (CChannels& ch : ChannelsInUse()) {
        if (ch.intensityValid) {
            try {
                ch.ComputeIntensity();
            } catch (const std::exception&) {
                ch.intensityValid = 0;
            }
        }
    }
    OnSamplesChanged();
    if (labelListFrame)
        labelListFrame->RefreshLabels();
    // The pitch window measures the changed samples again.
    if (auto* pitch = hooks.pitchPane ? dynamic_cast<PitchPaneService*>(hooks.pitchPane()) : nullptr)
        pitch->SetChannel(AnalysedChannel(m_doc));
}

void COrielView::OnEditCopy() { EditSession::Copy(m_doc, m_doc.App().clipboard, m_doc.Prompts()); }

void COrielView::OnEditCut() {
    if (!EditSession::Copy(m_doc, m_doc.App().clipboard, m_doc.Prompts()))
        return;  // nothing is cut when the copy failed
    try {
        CutSelection();
    } catch (const platform::UserException&) {
        return;
    }
    FinishEdit(!m_doc.IsDataLoaded());
}

void COrielView::OnEditPaste() {
    const bool wasEmpty = PasteFillsEmptyDocument(m_doc);
    if (!m_edits.Paste(m_doc, m_doc.App().clipboard, selectionShown, m_doc.Prompts()))
        return;
    FinishEdit(wasEmpty);
}

void COrielView::OnEditSelectAll() {
    SelectAllSamples(m_doc);
    selectionShown = true;
    m_doc.selectionPresent = 1;
    markerShown = false;
    FlagsToMouse();
    m_redraw = true;
    Invalidate();
}

void COrielView::OnEditSelectWindow() {
    SelectShownWindow(m_doc);
    selectionShown = true;
    m_doc.selectionPresent = 1;
    markerShown = false;
    FlagsToMouse();
    m_redraw = true;
    Invalidate();
}

void COrielView::OnEditUndo() {
    const int before = m_doc.GetChannelCount();
    try {
        RestoreUndoFile();
    } catch (const platform::UserException&) {
        return;
    }
    const UndoState& state = m_edits.SavedState();
    for (int c = 0; c < m_doc.GetChannelCount() && c < static_cast<int>(state.channels.size()); ++c)
        m_doc.Channel(c).intensityValid = state.channels[static_cast<std::size_t>(c)].intensityValid;
    FinishEdit(before != m_doc.GetChannelCount());
}

void AddEditCommands(QMenu& edit, std::function<CChildFrame*()> activeFrame) {
    struct Command {
        const char* text;
        QKeySequence shortcut;
        void (COrielView::*run)();
        ViewCommand rule;
    };
    const Command commands[] = {
        {"&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), &COrielView::OnEditUndo, ViewCommand::EditUndo},
        {"Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), &COrielView::OnEditCut, ViewCommand::EditCut},
        {"&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), &COrielView::OnEditCopy, ViewCommand::EditCopy},
        {"&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &COrielView::OnEditPaste, ViewCommand::EditPaste},
        {"Select &All", QKeySequence(Qt::CTRL | Qt::Key_A), &COrielView::OnEditSelectAll, ViewCommand::EditSelectAll},
        {"Select &Window", QKeySequence(), &COrielView::OnEditSelectWindow, ViewCommand::EditSelectWindow},
    };
    for (const Command& c : commands) {
        if (c.run == &COrielView::OnEditCut)
            edit.addSeparator();
        QAction* a = edit.addAction(QString::fromLatin1(c.text));
        a->setShortcut(c.shortcut);
        QObject::connect(a, &QAction::triggered, &edit, [activeFrame, run = c.run, rule = c.rule] {
            CChildFrame* frame = activeFrame();
            COrielView* view = frame ? frame->GetView() : nullptr;
            // Shortcuts act while the menu is closed: the rule holds for them too.
            if (!view || !UpdateViewCommand(rule, CommandStateOf(*view)).enabled)
                return;
            (view->*run)();
            frame->UpdateTitle();
        });
        DeclareViewCommand(a, c.rule);
    }
}

}  // namespace vocomet
