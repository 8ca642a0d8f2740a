#pragma once
// "Spectrogram Option": the spectrogram window's settings. The caller
// fills values and sampleRate, runs DoModal and, on OK, reads values back.
// The frequency range and LPC order are held to the window's own limits.

#include "analysis/ui/OptionDialogBase.h"
#include "core/DocumentSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vocomet {

class COptionSpectrogram : public OptionDialogBase {
    Q_OBJECT
public:
    COptionSpectrogram(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    SpectrogramSettings values;
    double sampleRate = 11025.0;

    void OnInitDialog();
    void accept() override;
    void OnDefaults();

    QComboBox* SizeList() const { return m_size; }
    QLineEdit* RangeEdit() const { return m_range; }
    QLineEdit* LpcOrderEdit() const { return m_lpc; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadControls();
    bool ReadControls();
    void EnableEdits();
    QWidget* FieldWidget(int field) const;

    QComboBox* m_size;
    QLineEdit* m_range;
    QLineEdit* m_dynamic;
    QLineEdit* m_preEmphasis;
    QCheckBox* m_formants;
    QLineEdit* m_lpc;
    QRadioButton* m_inches;
    QRadioButton* m_cm;
    QLineEdit* m_height;  // the picture dimension at 1536
    QLineEdit* m_width;   // the one at 1544
    QCheckBox* m_drawAudio;
    QCheckBox* m_drawLabels;
    QCheckBox* m_freqGrid;
    QLineEdit* m_freqSpacing;
    QCheckBox* m_timeGrid;
    QLineEdit* m_timeSpacing;
    bool m_initialised = false;
};

}  // namespace vocomet
