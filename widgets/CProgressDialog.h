#pragma once
// The small modeless window shown while a long loop runs on the UI thread:
// a red hint that a mouse press cancels, a text naming the work and a bar.
// While it is shown it holds back the user's input to every window of the
// program (an application-wide event filter), so no command runs
// re-entrantly, and a left press on any of them, or Escape, asks to cancel.
// The loop polls AbortRequested, which delivers waiting events first.
//
// The layout is the dialog template's, in dialog units of the desktop's
// default font; the texts widen the window when they need more room.

#include <QDialog>
#include <QRect>
#include <QString>

#include "platform/Progress.h"

namespace vocomet {

class CLabel;

class CProgressDialog : public QDialog, public platform::Progress {
    Q_OBJECT
public:
    explicit CProgressDialog(QWidget* parent = nullptr);
    ~CProgressDialog() override;

    void SetProgressText(const QString& text);
    // Fills done/total of the bar in red; done <= 0 paints it grey. The red
    // part only grows until the next grey call.
    void ShowProgress(double total, double done);

    // platform::Progress
    void SetText(const std::string& text) override;
    void SetFraction(double fraction) override;
    bool AbortRequested() override;

    // Makes the next AbortRequested true.
    void RequestAbort() { m_abort = true; }
    // How much of the bar is red, 0..1 (tests look at this).
    double FilledFraction() const { return m_filled; }
    bool BarIsGrey() const { return m_grey; }
    QRect BarRect() const;
    const CLabel& PromptLabel() const { return *m_prompt; }
    const CLabel& TextLabel() const { return *m_text; }

    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

private:
    // Places the labels and the bar and sizes the window for the texts.
    void Relayout();

    CLabel* m_prompt;
    CLabel* m_text;
    CLabel* m_bar;
    QString m_fullText;
    double m_filled = 0.0;
    bool m_grey = true;
    bool m_abort = false;
};

}  // namespace vocomet
