#include "analysis/ui/COptionEGGChannelAssign.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "platform/TextEncoding.h"

namespace vocomet {

COptionEGGChannelAssign::COptionEGGChannelAssign(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("EGG Channel Assign"), prompts, parent) {
    auto* top = new QVBoxLayout(this);
    m_list = new QComboBox(this);
    m_list->setMinimumWidth(160);
    top->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionEGGChannelAssign::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionEGGChannelAssign::reject);
}

void COptionEGGChannelAssign::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionEGGChannelAssign::OnInitDialog() {
    m_initialised = true;
    m_list->clear();
    for (const std::string& name : channelNames)
        m_list->addItem(QString::fromStdString(platform::Cp1252ToUtf8(name)));
    m_list->addItem(QStringLiteral("None"));
    const int count = static_cast<int>(channelNames.size());
    m_list->setCurrentIndex(channel >= 0 && channel < count ? channel : count);
}

void COptionEGGChannelAssign::accept() {
    const int index = m_list->currentIndex();
    channel = index >= 0 && index < static_cast<int>(channelNames.size()) ? index : -1;
    OptionDialogBase::accept();
}

}  // namespace vocomet
