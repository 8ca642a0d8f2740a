#include "core/ui/CDialogChannelSelect.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/ChannelSelectLists.h"
#include "platform/TextEncoding.h"

namespace vocomet {

CDialogChannelSelect::CDialogChannelSelect(QWidget* parent) : QDialog(parent), m_list(new QComboBox(this)) {
    setWindowTitle(QString::fromLatin1(kChannelSelectCaption));
    m_list->setObjectName(QStringLiteral("channelList"));
    // Long lists scroll instead of filling the screen.
    m_list->setMaxVisibleItems(20);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QString::fromLatin1(kChannelLabel), this));
    row->addWidget(m_list, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromLatin1(kChannelSelectText), this));
    layout->addLayout(row);
    layout->addWidget(buttons);

    connect(m_list, &QComboBox::currentIndexChanged, this, &CDialogChannelSelect::OnSelectionChanged);
}

void CDialogChannelSelect::SetChannels(const std::vector<std::string>& names, int selection) {
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (const std::string& item : ChannelSelectItems(names))
        m_list->addItem(QString::fromStdString(platform::Cp1252ToUtf8(item)));
    m_list->setCurrentIndex(ClampChannelSelection(selection, m_list->count()));
    OnSelectionChanged(m_list->currentIndex());
}

void CDialogChannelSelect::OnSelectionChanged(int index) {
    m_selection = index;
    m_selectedText = index >= 0 ? m_list->itemText(index) : QString();
}

}  // namespace vocomet
