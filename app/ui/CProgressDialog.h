#pragma once
// The small modeless window shown while a long loop runs on the UI thread:
// a red hint that a mouse click cancels, a text naming the work and a bar.
// While it is up, input to the other windows is blocked so no command runs
// re-entrantly; the loop polls AbortRequested, which lets Qt deliver input
// to this window only.

#include <QDialog>
#include <QRect>

#include "platform/Progress.h"

namespace vocomet {

class CLabel;

class CProgressDialog : public QDialog, public platform::Progress {
    Q_OBJECT
public:
    explicit CProgressDialog(QWidget* parent = nullptr);

    void SetProgressText(const QString& text);
    // Fills done/total of the bar in red; done <= 0 paints it grey. The red
    // part only grows until the next grey call.
    void ShowProgress(double total, double done);

    // platform::Progress
    void SetText(const std::string& text) override;
    void SetFraction(double fraction) override;
    bool AbortRequested() override;

    // Makes the next AbortRequested true (a click on the window or Escape).
    void RequestAbort() { m_abort = true; }
    // How much of the bar is red, 0..1 (tests look at this).
    double FilledFraction() const { return m_filled; }
    bool BarIsGrey() const { return m_grey; }
    QRect BarRect() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

private:
    CLabel* m_prompt;
    CLabel* m_text;
    CLabel* m_bar;
    double m_filled = 0.0;
    bool m_grey = true;
    bool m_abort = false;
};

}  // namespace vocomet
