#include "core/ui/CDialogFileChannelSelect.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/ChannelSelectLists.h"
#include "core/ui/CDialogChannelSelect.h"

namespace vocomet {

CDialogFileChannelSelect::CDialogFileChannelSelect(QWidget* parent) : QDialog(parent), m_list(new QComboBox(this)) {
    setWindowTitle(QString::fromLatin1(kFileChannelSelectCaption));
    m_list->setObjectName(QStringLiteral("channelList"));
    m_list->setMaxVisibleItems(20);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QString::fromLatin1(kChannelLabel), this));
    row->addWidget(m_list, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromLatin1(kFileChannelSelectText), this));
    layout->addLayout(row);
    layout->addWidget(buttons);

    connect(m_list, &QComboBox::currentIndexChanged, this, [this](int index) { m_selection = index; });
    SetChannelCount(1, 0);
}

void CDialogFileChannelSelect::SetChannelCount(int channelCount, int selection) {
    const QSignalBlocker block(m_list);
    m_channelCount = channelCount;
    m_list->clear();
    for (const std::string& item : FileChannelSelectItems(channelCount))
        m_list->addItem(QString::fromStdString(item));
    m_list->setCurrentIndex(ClampChannelSelection(selection, m_list->count()));
    m_selection = m_list->currentIndex();
}

}  // namespace vocomet
