#pragma once
// "EGG Channel Assign": one drop-down list of the document's channel names
// in channel order, then "None". The chosen entry's position is the
// channel; the last entry is none (-1). A channel that happens to be named
// "None" is still that channel.

#include <string>
#include <vector>

#include "analysis/ui/OptionDialogBase.h"

class QComboBox;

namespace vocomet {

class COptionEGGChannelAssign : public OptionDialogBase {
    Q_OBJECT
public:
    COptionEGGChannelAssign(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    // Given by the caller: the names (Windows-1252) and the current channel.
    std::vector<std::string> channelNames;
    int channel = -1;

    void OnInitDialog();
    void accept() override;

    QComboBox* List() const { return m_list; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_list;
    bool m_initialised = false;
};

}  // namespace vocomet
