#pragma once
// Select channels: picks the one channel of a multichannel file (AIFF,
// AIFC) that is to be read. Lists "Channel #1" to "Channel #n" for every
// channel of the file; on OK Selection() is the 0-based channel.

#include <QDialog>

class QComboBox;

namespace vocomet {

inline constexpr const char* kFileChannelSelectCaption = "Select channels";
inline constexpr const char* kFileChannelSelectText =
    "This file has multiple data channels.\nOnly one channel can be read at a time.\nPlease select which channel "
    "you wish to read.";

class CDialogFileChannelSelect : public QDialog {
    Q_OBJECT
public:
    explicit CDialogFileChannelSelect(QWidget* parent = nullptr);

    // Lists the file's channels and selects the item at selection, clamped
    // to the list.
    void SetChannelCount(int channelCount, int selection = 0);
    int ChannelCount() const { return m_channelCount; }
    // The chosen item's index; -1 with an empty list.
    int Selection() const { return m_selection; }
    QComboBox* List() const { return m_list; }

private:
    QComboBox* m_list;
    int m_channelCount = 1;
    int m_selection = 0;
};

}  // namespace vocomet
