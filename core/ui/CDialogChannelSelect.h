#pragma once
// Data Channel Select: picks the channel of the document that Export
// Channel as Wave and Export Selection Channel as Wave write. Lists every
// channel as "(Cha n) name"; on OK Selection() is the 0-based channel.

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;

namespace vocomet {

inline constexpr const char* kChannelSelectCaption = "Data Channel Select";
inline constexpr const char* kChannelSelectText =
    "This process will save the selected data channel as \"*.wav\" format.";
inline constexpr const char* kChannelLabel = "Channel : ";

class CDialogChannelSelect : public QDialog {
    Q_OBJECT
public:
    explicit CDialogChannelSelect(QWidget* parent = nullptr);

    // Fills the list with the channels' names (8-bit Windows-1252 texts)
    // and selects the item at selection, clamped to the list.
    void SetChannels(const std::vector<std::string>& names, int selection);
    // The chosen item's index (-1 with an empty list) and text.
    int Selection() const { return m_selection; }
    const QString& SelectedText() const { return m_selectedText; }
    QComboBox* List() const { return m_list; }

private:
    void OnSelectionChanged(int index);

    QComboBox* m_list;
    int m_selection = -1;
    QString m_selectedText;
};

}  // namespace vocomet
