#pragma once
// "Pitch option": the pitch window's settings, edited as whole numbers (the
// caller truncates the doubles going in). The caller fills values, runs
// DoModal and, on OK, reads values back.

#include "analysis/ui/OptionDialogBase.h"
#include "core/DocumentSettings.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace vocomet {

class COptionPitch : public OptionDialogBase {
    Q_OBJECT
public:
    COptionPitch(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    PitchSettings values;

    void OnInitDialog();
    void accept() override;
    void OnDefaults();

    QLineEdit* WindowEdit() const { return m_window; }
    QLineEdit* StepEdit() const { return m_step; }
    QLineEdit* CalculationLowEdit() const { return m_calcLow; }
    QLineEdit* CalculationHighEdit() const { return m_calcHigh; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadControls();
    bool ReadControls();
    void EnableEdits();
    QWidget* FieldWidget(int field) const;

    QLineEdit* m_window;
    QLineEdit* m_step;
    QLineEdit* m_calcLow;
    QLineEdit* m_calcHigh;
    QLineEdit* m_displayLow;
    QLineEdit* m_displayHigh;
    QLineEdit* m_deviation;
    QLineEdit* m_threshold;
    QCheckBox* m_freqGrid;
    QLineEdit* m_freqSpacing;
    QCheckBox* m_timeGrid;
    QLineEdit* m_timeSpacing;
    QCheckBox* m_addAudio;
    QCheckBox* m_addIntensity;
    QCheckBox* m_addLabels;
    QRadioButton* m_colour;
    QRadioButton* m_blackWhite;
    QRadioButton* m_inches;
    QRadioButton* m_cm;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QRadioButton* m_cepstral;
    QRadioButton* m_otherMethod;  // the group's second, hidden button
    bool m_initialised = false;
};

}  // namespace vocomet
