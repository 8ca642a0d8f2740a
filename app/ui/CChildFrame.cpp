#include "app/ui/CChildFrame.h"

#include <QCloseEvent>
#include <QLabel>

#include "app/ui/QtText.h"
#include "core/COrielDoc.h"

namespace vocomet {

CChildFrame::CChildFrame(std::unique_ptr<COrielDoc> document, QWidget* parent)
    : QMdiSubWindow(parent), m_document(std::move(document)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The waveform view takes this place once it exists.
    auto* body = new QLabel(this);
    body->setAlignment(Qt::AlignCenter);
    body->setObjectName(QStringLiteral("documentBody"));
    setWidget(body);
    UpdateTitle();
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::UpdateTitle() {
    const QString title = QString::fromStdString(m_document->GetTitle());
    setWindowTitle(title);
    if (auto* body = qobject_cast<QLabel*>(widget())) {
        QStringList names;
        for (int i = 0; i < m_document->GetChannelCount(); ++i)
            names << FromCp1252(m_document->Channel(i).name);
        body->setText(names.join(QLatin1Char('\n')));
    }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (!m_document->SaveModified()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

}  // namespace vocomet
