#pragma once
// "Log Option": the steps of the measurement-log entries. The caller fills
// values, runs DoModal and, on OK, reads values back.

#include "analysis/AnalysisServices.h"
#include "analysis/ui/OptionDialogBase.h"

class QLineEdit;

namespace vocomet {

class COptionLog : public OptionDialogBase {
    Q_OBJECT
public:
    COptionLog(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    LogOptions values;

    void OnInitDialog();
    void accept() override;

    QLineEdit* FrameStepEdit() const { return m_frameStep; }
    QLineEdit* SelectionStepEdit() const { return m_selectionStep; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_frameStep;
    QLineEdit* m_selectionStep;
    bool m_initialised = false;
};

}  // namespace vocomet
