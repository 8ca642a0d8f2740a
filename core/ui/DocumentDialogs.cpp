#include "core/ui/DocumentDialogs.h"

#include <QApplication>
#include <QPointer>
#include <utility>

#include "core/COrielDoc.h"
#include "core/ui/CDialogChannelSelect.h"
#include "core/ui/CDialogFileChannelSelect.h"
#include "core/ui/CDialogGenericFileSelection.h"

namespace vocomet {

namespace {

// The dialogs come up while a load shows the wait cursor: the user gets
// the ordinary pointer back for as long as the dialog is open.
class ArrowCursor {
public:
    ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

// The runner in place; empty: exec(). Dialogs run on the UI thread only.
DocumentDialogRunner& Runner() {
    static DocumentDialogRunner runner;
    return runner;
}

int RunDialog(QDialog& dialog) {
    if (const DocumentDialogRunner& runner = Runner())
        return runner(dialog);
    return dialog.exec();
}

}  // namespace

ScopedDocumentDialogRunner::ScopedDocumentDialogRunner(DocumentDialogRunner runner)
    : m_previous(std::exchange(Runner(), std::move(runner))) {}

ScopedDocumentDialogRunner::~ScopedDocumentDialogRunner() { Runner() = std::move(m_previous); }

void InstallDocumentDialogs(DocumentHooks& hooks, platform::UserPrompts& prompts, QWidget* parent) {
    const QPointer<QWidget> owner(parent);
    hooks.askGenericFile = [owner, &prompts](const GenericFileAnswers& offered) -> std::optional<GenericFileAnswers> {
        ArrowCursor arrow;
        CDialogGenericFileSelection dialog(prompts, owner.data());
        dialog.SetAnswers(offered);
        if (RunDialog(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.Answers();
    };
    hooks.chooseChannel = [owner](const std::vector<std::string>& names, int preselected) -> std::optional<int> {
        ArrowCursor arrow;
        CDialogChannelSelect dialog(owner.data());
        dialog.SetChannels(names, preselected);
        if (RunDialog(dialog) != QDialog::Accepted || dialog.Selection() < 0)
            return std::nullopt;
        return dialog.Selection();
    };
    hooks.chooseFileChannel = [owner](int channelCount) -> std::optional<int> {
        ArrowCursor arrow;
        CDialogFileChannelSelect dialog(owner.data());
        dialog.SetChannelCount(channelCount, 0);
        if (RunDialog(dialog) != QDialog::Accepted || dialog.Selection() < 0)
            return std::nullopt;
        return dialog.Selection();
    };
}

}  // namespace vocomet
