#pragma once
// Label mode of the main view without its widgets: storing a label entered
// or edited with the label entry dialog, storing a dragged label, and
// deleting a hit label, with every window that shows labels brought up to
// date: the clicked channel, the pitch and spectrogram panes (their
// pictures are rebuilt) and the label list.
//
// Threading: user-interface thread only.

#include <functional>
#include <string>

#include "analysis/AnalysisServices.h"
#include "app/MouseSelection.h"
#include "core/CChannels.h"
#include "core/ChannelRecords.h"
#include "platform/TextMeasurer.h"

namespace vocomet {

// The label list window as label mode sees it: one row per label.
class LabelListSink {
public:
    virtual ~LabelListSink() = default;
    virtual void AddLabel(const std::string& channelName, const LABEL& label) = 0;
    virtual void ModifyLabel(const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName) = 0;
    virtual void DeleteLabel(const LABEL& label, const std::string& channelName) = 0;
};

// The other windows of the document that show its labels (null: closed),
// and what marks the document modified and redraws the main view.
struct LabelWindows {
    AnalysisPane* spectrogram = nullptr;
    AnalysisPane* pitch = nullptr;
    LabelListSink* labelList = nullptr;
    std::function<void()> modifiedAndRedraw;
};

// What the label entry dialog edits.
struct LabelEntryValues {
    std::string text;  // Windows-1252
    int addLine = 0;
    platform::LogFontA font;
    platform::ColorRef colour = 0;
    int justification = LABEL::kAnchorLeft;
};
LabelEntryValues EntryFromLabel(const LABEL& label);
// Text (at most 255 bytes), line flag, font, colour and anchoring.
void ApplyEntry(const LabelEntryValues& entry, LABEL& label);

// The label entry of a release in label mode, run with the entry dialog
// (nothing: Cancel). EditHitLabel: a non-empty text replaces the hit label,
// an empty one deletes it. EnterNewLabel: a non-empty text stores a new
// label from the current one at the marker; an empty one does nothing.
void RunLabelEntry(MouseSelection& state, ReleaseAction action, CChannels* clicked, int verticalOffset,
                   const platform::TextMeasurer& measurer, const LabelWindows& windows,
                   const std::function<std::optional<LabelEntryValues>(const LabelEntryValues&)>& entryDialog);

// Stores label in the clicked channel: a new label at the marker and the
// press height, or (isNew false) the edited hit label in the hit label's
// place. Returns the stored label.
LABEL StoreLabelAtPress(MouseSelection& state, CChannels& clicked, const LABEL& label, bool isNew,
                        int verticalOffset, const platform::TextMeasurer& measurer, const LabelWindows& windows);

// Stores the dragged label at its rectangle (client pixels).
LABEL MoveDraggedLabel(MouseSelection& state, CChannels& clicked, const LABEL& label, const platform::Rect& rect,
                       int verticalOffset, const LabelWindows& windows);

// Removes the label from the clicked channel and from every window that
// shows it. Whatever fails on the way, the document is still marked
// modified and the view redrawn.
void DeleteHitLabel(MouseSelection& state, CChannels* clicked, const LABEL& label, const LabelWindows& windows);

}  // namespace vocomet
