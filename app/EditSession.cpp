#include "app/EditSession.h"

#include <cstdio>
#include <exception>
#include <new>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/FailureText.h"
#include "platform/File.h"
#include "platform/ScratchRun.h"

namespace vocomet {

namespace {

bool ReserveName(const std::string& path) {
    // Noted first, so a crashed run's copy goes at the next start.
    platform::NoteScratchFile(path);
    // "x": an exclusive create, so two documents never share a copy.
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

}  // namespace

EditSession::~EditSession() {
    // A copy of a long recording takes a while to give back.
    if (!m_undoPath.empty())
        platform::RemoveFileInBackground(m_undoPath);
}

std::string EditSession::MakeUndoPath(COrielDoc& document) const {
    std::string title = document.GetTitle();
    for (char& c : title)
        if (c == '/' || c == '\\')
            c = '_';
    const std::string base = document.App().tempFolder + "/" + title;
    for (int k = 1; k < 10000; ++k) {
        std::string path = base + (k == 1 ? "" : "(" + std::to_string(k) + ")") + kUndoFileSuffix;
        if (ReserveName(path))
            return path;
    }
    return {};
}

bool EditSession::SaveUndoFile(COrielDoc& document, platform::UserPrompts& prompts) {
    m_undoAvailable = false;
    if (m_undoPath.empty())
        m_undoPath = MakeUndoPath(document);
    if (m_undoPath.empty()) {
        prompts.Message(kUndoSaveError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    try {
        m_state = WriteUndoCopy(document, m_undoPath);
    } catch (const platform::FileException& e) {
        // The system's reason (a full disk, no rights) is what the user needs
        // to decide whether to go on without undo.
        prompts.Message(platform::WithReason(kUndoSaveError, platform::FailureReason(e)), platform::Buttons::Ok,
                        platform::Icon::Warning);
        return false;
    } catch (const std::bad_alloc& e) {
        prompts.Message(platform::WithReason(kUndoSaveError, platform::FailureReason(e)), platform::Buttons::Ok,
                        platform::Icon::Warning);
        return false;
    } catch (const std::exception&) {
        return false;  // the writer has spoken (or there is nothing to say)
    }
    m_undoAvailable = true;
    return true;
}

bool EditSession::RestoreUndoFile(COrielDoc& document, platform::UserPrompts& prompts) {
    if (m_undoPath.empty() || !platform::PathExists(m_undoPath)) {
        prompts.Message(kUndoReadError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    try {
        ReadUndoCopy(document, m_undoPath, m_state);
    } catch (const platform::FileException&) {
        prompts.Message(kUndoReadError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    } catch (const EditError&) {
        prompts.Message(kUndoReadError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    } catch (const std::exception&) {
        return false;
    }
    m_undoAvailable = false;
    return true;
}

bool EditSession::SaveUndoOrAsk(COrielDoc& document, platform::UserPrompts& prompts) {
    if (SaveUndoFile(document, prompts))
        return true;
    prompts.Beep();
    return prompts.Message(kUndoQuestion, platform::Buttons::YesNo, platform::Icon::Question) ==
           platform::Answer::Yes;
}

bool EditSession::Copy(COrielDoc& document, EditClipboard& clipboard, platform::UserPrompts& prompts) {
    try {
        CopySelection(document, clipboard);
        return true;
    } catch (const std::exception&) {
        prompts.Beep();
        prompts.Message(kCopyError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
}

bool EditSession::CutSelection(COrielDoc& document, platform::UserPrompts& prompts) {
    if (!SaveUndoOrAsk(document, prompts))
        return false;
    try {
        CutSelectionData(document);
    } catch (const std::exception&) {
        prompts.Beep();
        prompts.Message(kCutError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    document.SetModifiedFlag(true);
    return true;
}

bool EditSession::Cut(COrielDoc& document, EditClipboard& clipboard, platform::UserPrompts& prompts) {
    if (!Copy(document, clipboard, prompts))
        return false;
    return CutSelection(document, prompts);
}

bool EditSession::Paste(COrielDoc& document, const EditClipboard& clipboard, bool selectionShown,
                        platform::UserPrompts& prompts) {
    if (!clipboard.full)
        return false;
    // Refused before the undo copy: the previous copy stays.
    switch (CheckPaste(document, clipboard)) {
    case PasteRefusal::ChannelCount:
        prompts.Beep();
        prompts.Message(kPasteChannelCountMessage, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    case PasteRefusal::SampleRate:
        prompts.Beep();
        prompts.Message(kPasteRateMessage, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    case PasteRefusal::None: break;
    }
    const bool fillsEmpty = PasteFillsEmptyDocument(document);
    if (!fillsEmpty && !SaveUndoOrAsk(document, prompts))
        return false;
    try {
        PasteClipboard(document, clipboard, selectionShown);
    } catch (const std::exception&) {
        // The document is as it was: nothing to undo, nothing more to say.
        return false;
    }
    if (fillsEmpty)
        m_undoAvailable = false;
    document.SetModifiedFlag(true);
    return true;
}

}  // namespace vocomet
