// The Log menu's measurement entries of the main view: the builders in
// app/LogEntryBuilders make the entries, these commands hand them to the
// open log window.

#include <cmath>
#include <exception>
#include <vector>

#include "app/LogEntryBuilders.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// Adds what the builder makes; a failure ends the command without a message
// of its own (the log window has said what went wrong), and the entries
// already added stay.
template <typename Build>
void EnterIntoLog(CFrameLog* log, Build&& build) {
    if (!log)
        return;
    try {
        const std::vector<LogEntry> entries = build();
        log->AddEntries(entries);
    } catch (const std::exception&) {
    }
}

}  // namespace

CFrameLog* COrielView::LogFrame() const {
    if (auto* frame = qobject_cast<CMainFrame*>(window()))
        return frame->LogFrame();
    return nullptr;
}

// The rules of the Log menu's entries.
bool COrielView::CanLogEnterAtMarker() const {
    return UpdateViewCommand(ViewCommand::LogEnterAtMarker, CommandStateOf(*this)).enabled;
}

bool COrielView::CanLogEnterDataSelection() const {
    return UpdateViewCommand(ViewCommand::LogEnterDataSelection, CommandStateOf(*this)).enabled;
}

bool COrielView::CanLogEnterDuration() const {
    return UpdateViewCommand(ViewCommand::LogEnterDuration, CommandStateOf(*this)).enabled;
}

bool COrielView::CanLogEnterEGGAtMarker() const {
    return UpdateViewCommand(ViewCommand::LogEnterEggAtMarker, CommandStateOf(*this)).enabled;
}

bool COrielView::CanLogEnterEGGAll() const {
    return UpdateViewCommand(ViewCommand::LogEnterEggAll, CommandStateOf(*this)).enabled;
}

bool COrielView::CanLogEnterEGGSelection() const {
    return UpdateViewCommand(ViewCommand::LogEnterEggSelection, CommandStateOf(*this)).enabled;
}

void COrielView::OnLogEnterAtMarker() {
    if (m_doc.GetChannelCount() < 1)
        return;
    EnterIntoLog(LogFrame(), [this] { return std::vector<LogEntry>{MarkerEntry(m_doc)}; });
}

void COrielView::OnLogEnterDuration() {
    if (m_doc.GetChannelCount() < 1)
        return;
    EnterIntoLog(LogFrame(), [this] { return std::vector<LogEntry>{DurationEntry(m_doc)}; });
}

void COrielView::OnLogEnterDataSelection() {
    CFrameLog* log = LogFrame();
    if (!log || m_doc.GetChannelCount() < 1)
        return;
    platform::UserPrompts& prompts = m_doc.Prompts();
    const double step = m_doc.settings.logSelectionStep;
    // A step of 0 or less would never reach the selection's end.
    if (!(step > 0.0) || !std::isfinite(step)) {
        prompts.Beep();
        prompts.Message(kLogStepNotPositive, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    const CChannels& first = m_doc.Channel(0);
    if (DataSelectionRowCount(first.selStartTime, first.selEndTime, step) > kMaxDataSelectionEntries) {
        prompts.Beep();
        prompts.Message(kLogTooManyEntries, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    platform::BusyGuard busy(prompts);
    EnterIntoLog(log, [this, step] { return DataSelectionEntries(m_doc, step); });
}

void COrielView::OnLogEnterEGGAtMarker() {
    EnterIntoLog(LogFrame(), [this] {
        std::vector<LogEntry> entries;
        if (std::optional<LogEntry> e = EggMarkerEntry(m_doc))
            entries.push_back(std::move(*e));
        return entries;
    });
}

void COrielView::OnLogEnterEGGAll() {
    EnterIntoLog(LogFrame(), [this] { return EggAllEntries(m_doc); });
}

void COrielView::OnLogEnterEGGSelection() {
    EnterIntoLog(LogFrame(), [this] { return EggSelectionEntries(m_doc); });
}

}  // namespace vocomet
