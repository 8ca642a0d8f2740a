#pragma once
// The floating status window: cursor time, selection duration and the value
// table of the recording under the mouse. Its owner is the view whose values
// it shows; values from any other view are ignored until that view calls
// ShowDocument. Closing it only hides it. UI thread only.

#include <QRect>
#include <QString>
#include <QWidget>

namespace vocomet {

class CFormControl;
class COrielDoc;

class CStatusWindow : public QWidget {
    Q_OBJECT
public:
    explicit CStatusWindow(QWidget* parent = nullptr);

    // Creates the form over the client area; false (after a beep and a
    // message) when that fails.
    bool CreateFormControl();
    void SetTitle(const QString& text);
    void ShowDocument(const void* owner, const COrielDoc* document);
    void ShowCursorTime(const void* owner, double ms);
    void ShowDuration(const void* owner, double ms);
    // Repaints only that cell; any failure is swallowed.
    void ShowCursorValue(const void* owner, int row, int column, double value);

    CFormControl* Form() { return m_form; }
    const void* Owner() const { return m_owner; }
    // The normal position (left, top, right, bottom), kept as the window moves and sizes.
    QRect Placement() const { return m_placement; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CFormControl* m_form = nullptr;
    const void* m_owner = nullptr;
    QString m_cursorText;
    QString m_durationText;
    QRect m_placement;
};

}  // namespace vocomet
