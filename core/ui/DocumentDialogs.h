#pragma once
// Puts the document's dialogs (the generic-file dialog and the two channel
// selection dialogs) behind a document's hooks.

#include <QDialog>
#include <QWidget>
#include <functional>

namespace platform {
class UserPrompts;
}

namespace vocomet {

struct DocumentHooks;

// Sets hooks.askGenericFile, hooks.chooseChannel and hooks.chooseFileChannel
// to show the dialogs, modal over parent (while it exists). prompts tells
// the generic-file dialog's refusals and must outlive the hooks.
void InstallDocumentDialogs(DocumentHooks& hooks, platform::UserPrompts& prompts, QWidget* parent);

// Runs one of the dialogs above, filled in, and answers its result
// (QDialog::Accepted or Rejected). The application's runner is exec(); a
// test puts in one that answers the dialog itself, so no path a test takes
// waits on a user.
using DocumentDialogRunner = std::function<int(QDialog&)>;

// Puts runner in place of exec() while the guard lives; the runner it
// replaced comes back after it.
class ScopedDocumentDialogRunner {
public:
    explicit ScopedDocumentDialogRunner(DocumentDialogRunner runner);
    ~ScopedDocumentDialogRunner();
    ScopedDocumentDialogRunner(const ScopedDocumentDialogRunner&) = delete;
    ScopedDocumentDialogRunner& operator=(const ScopedDocumentDialogRunner&) = delete;

private:
    DocumentDialogRunner m_previous;
};

}  // namespace vocomet
