#include "app/ui/QtUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace vocomet {

platform::Answer QtUserPrompts::Message(const std::string& text, platform::Buttons buttons, platform::Icon icon,
                                        const std::string& caption) {
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case platform::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case platform::Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case platform::Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case platform::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case platform::Icon::None: break;
    }
    switch (buttons) {
    case platform::Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case platform::Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case platform::Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case platform::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case platform::Buttons::RetryCancel: box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return platform::Answer::Yes;
    case QMessageBox::No: return platform::Answer::No;
    case QMessageBox::Retry: return platform::Answer::Retry;
    case QMessageBox::Cancel: return platform::Answer::Cancel;
    default: return platform::Answer::Ok;
    }
}

void QtUserPrompts::Beep() { QApplication::beep(); }

QString ToQtFilter(const std::string& filter) {
    if (filter.find('|') == std::string::npos)
        return QString::fromStdString(filter);  // already in Qt's form
    QStringList out;
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        // The description shows the patterns too; make them case-blind.
        name.replace(QRegularExpression(QStringLiteral("\\s*\\(.*\\)\\s*$")), QString());
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << p.toLower() << p.toUpper();
        }
        patterns.removeDuplicates();
        out << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<std::string> QtUserPrompts::AskOpenPath(const platform::FileDialogRequest& r) {
    std::optional<platform::SaveChoice> choice = AskOpenChoice(r);
    if (!choice)
        return std::nullopt;
    return std::move(choice->path);
}

std::optional<platform::SaveChoice> QtUserPrompts::AskOpenChoice(const platform::FileDialogRequest& r) {
    const QString filter = ToQtFilter(r.filter);
    const QStringList filters = filter.split(QStringLiteral(";;"));
    QString selected;
    if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
        selected = filters[r.filterIndex - 1];
    const QString path = QFileDialog::getOpenFileName(m_parent, QString::fromStdString(r.title),
                                                      QString::fromStdString(r.initialPath), filter, &selected);
    if (path.isEmpty())
        return std::nullopt;
    return platform::SaveChoice{path.toStdString(), static_cast<int>(filters.indexOf(selected)) + 1};
}

namespace {

// The extension of a Qt filter's first pattern ("Wave files (*.wav *.WAV)"
// gives "wav"); empty when it has none.
QString SuffixOf(const QString& qtFilter) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(qtFilter);
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

std::optional<std::string> QtUserPrompts::AskSavePath(const platform::FileDialogRequest& r) {
    std::optional<platform::SaveChoice> choice = AskSaveChoice(r);
    if (!choice)
        return std::nullopt;
    return std::move(choice->path);
}

std::optional<platform::SaveChoice> QtUserPrompts::AskSaveChoice(const platform::FileDialogRequest& r) {
    const QString qtFilter = ToQtFilter(r.filter);
    QFileDialog dialog(m_parent, QString::fromStdString(r.title), QString::fromStdString(r.initialPath), qtFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = qtFilter.split(QStringLiteral(";;"));
    const QString fallbackSuffix = QString::fromStdString(r.defaultSuffix);
    // The extension added to a bare name follows the filter selected.
    auto followFilter = [&dialog, fallbackSuffix](const QString& filter) {
        const QString suffix = SuffixOf(filter);
        dialog.setDefaultSuffix(suffix.isEmpty() ? fallbackSuffix : suffix);
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[r.filterIndex - 1]);
    followFilter(dialog.selectedNameFilter());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const int picked = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;  // 0: not known
    return platform::SaveChoice{dialog.selectedFiles().front().toStdString(), picked};
}

std::optional<std::string> QtUserPrompts::AskFolder(const std::string& title, const std::string& initialFolder) {
    QString dir = QFileDialog::getExistingDirectory(m_parent, QString::fromStdString(title),
                                                    QString::fromStdString(initialFolder));
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

void QtUserPrompts::SetBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

}  // namespace vocomet
