#pragma once
// UserPrompts shown with Qt: message boxes, file and folder choosers, the
// wait cursor and the beep.

#include <QPointer>
#include <QWidget>

#include "platform/UserPrompts.h"

namespace vocomet {

class QtUserPrompts final : public platform::UserPrompts {
public:
    // Dialogs are centred on parent (the main window) when it exists.
    void SetParent(QWidget* parent) { m_parent = parent; }

    platform::Answer Message(const std::string& text, platform::Buttons buttons, platform::Icon icon,
                             const std::string& caption) override;
    void Beep() override;
    std::optional<std::string> AskOpenPath(const platform::FileDialogRequest& request) override;
    std::optional<std::string> AskSavePath(const platform::FileDialogRequest& request) override;
    // The filter the user left selected comes back with the path; a name
    // typed without an extension gets that filter's.
    std::optional<platform::SaveChoice> AskSaveChoice(const platform::FileDialogRequest& request) override;
    std::optional<platform::SaveChoice> AskOpenChoice(const platform::FileDialogRequest& request) override;
    std::optional<std::string> AskFolder(const std::string& title, const std::string& initialFolder) override;
    void SetBusy(bool busy) override;

private:
    QPointer<QWidget> m_parent;
};

// Turns a "Name (*.a)|*.a|Other (*.*)|*.*|" filter into Qt's
// "Name (*.a *.A);;Other (*)" form; extensions match in either case.
QString ToQtFilter(const std::string& filter);

}  // namespace vocomet
