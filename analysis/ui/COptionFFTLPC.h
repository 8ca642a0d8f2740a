#pragma once
// "FFT/LPC Option": the FFT/LPC window's settings. The caller fills values
// and sampleRate, runs DoModal and, on OK, reads values back. The limits
// are the window's own (AnalysisLimits), so nothing confirmed here is
// refused when the window opens.

#include "analysis/ui/OptionDialogBase.h"
#include "core/DocumentSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vocomet {

class COptionFFTLPC : public OptionDialogBase {
    Q_OBJECT
public:
    COptionFFTLPC(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    FftLpcSettings values;
    double sampleRate = 11025.0;

    // Loads the controls from values (the FFT size list made for the rate).
    void OnInitDialog();
    void accept() override;

    // Controls, for the dialog's tests.
    QComboBox* SizeList() const { return m_size; }
    QLineEdit* AppliedWindowEdit() const { return m_window; }
    QLineEdit* RangeEdit() const { return m_range; }
    QLineEdit* LpcOrderEdit() const { return m_lpc; }
    QLineEdit* DbEdit() const { return m_db; }
    QLineEdit* FrequencyGridEdit() const { return m_freqSpacing; }

    void OnDefaultSize();
    void OnSizeChosen(int index);
    void OnAppliedWindowChanged();
    void OnRangeChanged();
    void OnLpcOrderDone();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Controls from values / values from controls (false when one edit does
    // not hold a number; the user was told).
    void LoadControls();
    bool ReadControls();
    void EnableEdits();
    QWidget* FieldWidget(int field) const;

    QComboBox* m_size;
    QLineEdit* m_window;
    QLineEdit* m_step;
    QLineEdit* m_range;
    QRadioButton* m_absolute;
    QRadioButton* m_relative;
    QLineEdit* m_db;
    QRadioButton* m_inches;
    QRadioButton* m_cm;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QRadioButton* m_colour;
    QRadioButton* m_blackWhite;
    QCheckBox* m_freqGrid;
    QLineEdit* m_freqSpacing;
    QCheckBox* m_powerGrid;
    QLineEdit* m_powerSpacing;
    QLineEdit* m_lpc;
    QCheckBox* m_drawLpc;
    bool m_initialised = false;
};

}  // namespace vocomet
