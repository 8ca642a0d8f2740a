#pragma once
// "Zoom Option": the span Zoom > From Cursor for Duration shows, in whole
// ms. The caller fills zoomMs, runs DoModal and, on OK, reads it back.

#include "analysis/ui/OptionDialogBase.h"

class QLineEdit;

namespace vocomet {

class COptionZoom : public OptionDialogBase {
    Q_OBJECT
public:
    COptionZoom(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    int zoomMs = 0;

    void OnInitDialog();
    void accept() override;

    QLineEdit* SpanEdit() const { return m_span; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_span;
    bool m_initialised = false;
};

}  // namespace vocomet
