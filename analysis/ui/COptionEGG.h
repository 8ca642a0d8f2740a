#pragma once
// "EGG Option": the EGG analysis settings of the channel assigned to it.
// The caller fills values, runs DoModal and, on OK, reads values back.

#include "analysis/AnalysisServices.h"
#include "analysis/ui/OptionDialogBase.h"

class QCheckBox;
class QLineEdit;

namespace vocomet {

class COptionEGG : public OptionDialogBase {
    Q_OBJECT
public:
    COptionEGG(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    EggOptions values;

    void OnInitDialog();
    void accept() override;

    QLineEdit* ThresholdEdit() const { return m_threshold; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_threshold;
    QLineEdit* m_velocityWindow;
    QLineEdit* m_accelerationWindow;
    QCheckBox* m_drawVelocity;
    QCheckBox* m_drawAcceleration;
    QCheckBox* m_drawPeaks;
    QCheckBox* m_drawValleys;
    QCheckBox* m_drawThreshold;
    bool m_initialised = false;
};

}  // namespace vocomet
