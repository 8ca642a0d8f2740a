#pragma once
// The edit rules of one main view: its undo copy (one level, in a file of
// its own in the temp folder) and the sequence of Copy, Cut and Paste
// around the document's data operations: what is asked, what is refused
// before the undo copy is written, what each failure tells the user.

#include <optional>
#include <string>

#include "core/DocumentEdits.h"
#include "platform/UserPrompts.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kCopyError = "Copy Error";
inline constexpr const char* kCutError = "Could not allocate enough memory for this operation.";  // 61453
inline constexpr const char* kUndoQuestion =
    "Cannot perform the undo for the requested editing operation.\nDo you wish to continue with the editing "
    "operation?";  // 61493
inline constexpr const char* kPasteChannelCountMessage =
    "The clipboard holds another number of channels than this recording.";  // 61472
inline constexpr const char* kPasteRateMessage =
    "A channel of the clipboard has another sample rate than the same channel of this recording.";  // 61473
inline constexpr const char* kUndoSaveError = "Error in saving the temp file";
inline constexpr const char* kUndoReadError = "Error in reading the temp file";
inline constexpr const char* kUndoFileSuffix = "@@tmp";

class EditSession {
public:
    EditSession() = default;
    // Removes the undo file.
    ~EditSession();
    EditSession(const EditSession&) = delete;
    EditSession& operator=(const EditSession&) = delete;

    // Writes the undo copy; false (after "Error in saving the temp file"
    // when the file cannot be made) when it could not be written.
    bool SaveUndoFile(COrielDoc& document, platform::UserPrompts& prompts);
    // Reads the undo copy back; false (the document as it was) on failure.
    bool RestoreUndoFile(COrielDoc& document, platform::UserPrompts& prompts);
    bool UndoAvailable() const { return m_undoAvailable; }
    void ForgetUndo() { m_undoAvailable = false; }
    // The undo file: the temp folder, the document's title and "@@tmp",
    // numbered when another document's copy has that name. Set at the first
    // write.
    const std::string& UndoPath() const { return m_undoPath; }
    // Channels whose intensity curve was valid when the copy was written.
    const UndoState& SavedState() const { return m_state; }

    // The undo copy before an edit: true to go on (written, or the user
    // chose to go on without it).
    bool SaveUndoOrAsk(COrielDoc& document, platform::UserPrompts& prompts);

    // Copy; false after "Copy Error" (the clipboard emptied).
    static bool Copy(COrielDoc& document, EditClipboard& clipboard, platform::UserPrompts& prompts);
    // The data part of Cut after a Copy: the undo copy, then the cut. False
    // when nothing changed (the user stopped, or the cut failed after its
    // message).
    bool CutSelection(COrielDoc& document, platform::UserPrompts& prompts);
    // Copy, then CutSelection; false when nothing changed.
    bool Cut(COrielDoc& document, EditClipboard& clipboard, platform::UserPrompts& prompts);
    // Paste; true when the document changed.
    bool Paste(COrielDoc& document, const EditClipboard& clipboard, bool selectionShown,
               platform::UserPrompts& prompts);

private:
    std::string MakeUndoPath(COrielDoc& document) const;

    std::string m_undoPath;
    bool m_undoAvailable = false;
    UndoState m_state;
};

}  // namespace vocomet
