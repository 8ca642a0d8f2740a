#include "app/LabelEdits.h"

namespace vocomet {

namespace {

// The panes redraw their pictures with the labels as they now are.
void RefreshPanes(const LabelWindows& windows) {
    for (AnalysisPane* pane : {windows.spectrogram, windows.pitch})
        if (pane) {
            pane->SetRedrawFlag(1);
            pane->Invalidate();
        }
}

void ModifiedAndRedraw(const LabelWindows& windows) {
    if (windows.modifiedAndRedraw)
        windows.modifiedAndRedraw();
}

}  // namespace

LabelEntryValues EntryFromLabel(const LABEL& label) {
    LabelEntryValues entry;
    entry.text = std::string(label.Text());
    entry.addLine = label.markerLine != 0 ? 1 : 0;
    entry.font = label.font;
    entry.colour = label.colour;
    entry.justification = label.anchoring;
    return entry;
}

void ApplyEntry(const LabelEntryValues& entry, LABEL& label) {
    label.SetText(entry.text);
    label.markerLine = entry.addLine != 0 ? 1 : 0;
    label.font = entry.font;
    label.colour = entry.colour;
    label.anchoring = entry.justification >= LABEL::kAnchorLeft && entry.justification <= LABEL::kAnchorRight
                          ? entry.justification
                          : LABEL::kAnchorLeft;
}

void RunLabelEntry(MouseSelection& state, ReleaseAction action, CChannels* clicked, int verticalOffset,
                   const platform::TextMeasurer& measurer, const LabelWindows& windows,
                   const std::function<std::optional<LabelEntryValues>(const LabelEntryValues&)>& entryDialog) {
    state.markerShown = false;
    if (!entryDialog || (action != ReleaseAction::EditHitLabel && action != ReleaseAction::EnterNewLabel))
        return;
    const bool edit = action == ReleaseAction::EditHitLabel;
    const LABEL from = edit ? state.hitLabel : state.currentLabel;
    const std::optional<LabelEntryValues> answer = entryDialog(EntryFromLabel(from));
    if (!answer || !clicked)
        return;
    if (answer->text.empty()) {
        if (edit)
            DeleteHitLabel(state, clicked, state.hitLabel, windows);
        return;
    }
    LABEL label = from;
    ApplyEntry(*answer, label);
    StoreLabelAtPress(state, *clicked, label, !edit, verticalOffset, measurer, windows);
}

LABEL StoreLabelAtPress(MouseSelection& state, CChannels& clicked, const LABEL& label, bool isNew,
                        int verticalOffset, const platform::TextMeasurer& measurer, const LabelWindows& windows) {
    const LABEL stored =
        clicked.AddLabelAtCursor(label, state.hitLabel, state.press.y - verticalOffset, state.labelHit ? 1 : 0, measurer);
    state.currentLabel = label;
    state.labelChanged = true;
    state.labelHit = false;
    state.labelDragged = false;
    state.labelStored = false;
    RefreshPanes(windows);
    if (windows.labelList) {
        if (isNew)
            windows.labelList->AddLabel(clicked.name, stored);
        else
            windows.labelList->ModifyLabel(state.hitLabel, stored, clicked.name);
    }
    ModifiedAndRedraw(windows);
    return stored;
}

LABEL MoveDraggedLabel(MouseSelection& state, CChannels& clicked, const LABEL& label, const platform::Rect& rect,
                       int verticalOffset, const LabelWindows& windows) {
    // The rectangle is where the outline was drawn on the screen; the
    // channel keeps it in the pixels of the unscrolled stack.
    const LABEL moved =
        clicked.MoveLabel(label, rect.left, rect.top - verticalOffset, rect.right, rect.bottom - verticalOffset);
    state.labelHit = false;
    state.labelDragged = false;
    state.labelChanged = true;
    RefreshPanes(windows);
    if (windows.labelList)
        windows.labelList->ModifyLabel(label, moved, clicked.name);
    ModifiedAndRedraw(windows);
    return moved;
}

void DeleteHitLabel(MouseSelection& state, CChannels* clicked, const LABEL& hit, const LabelWindows& windows) {
    const LABEL label = hit;  // hit may be the state's own hit label, cleared below
    try {
        if (clicked)
            clicked->RemoveLabel(label);
        state.currentLabel = label;
        state.labelHit = false;
        state.labelDragged = false;
        state.hitLabel = LABEL{};
        state.hitLabelRect = {};
        state.labelChanged = true;
        RefreshPanes(windows);
        if (windows.labelList && clicked)
            windows.labelList->DeleteLabel(label, clicked->name);
    } catch (...) {
        // The label may be gone from some windows and not from others: the
        // redraw below still shows the channel as it is.
    }
    ModifiedAndRedraw(windows);
}

}  // namespace vocomet
