#pragma once
// The child frame of one document: holds the document and its main
// waveform view. Every such frame opens at one shared placement (left, top,
// width, height), which follows the normal position of the last one moved
// or sized. Closing it asks to save a modified document first; only when
// the document really goes are the worker stopped, the document's other
// windows closed and the status window cleared.

#include <QMdiSubWindow>
#include <memory>

namespace vocomet {

class COrielDoc;
class COrielView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(std::unique_ptr<COrielDoc> document, QWidget* parent = nullptr);
    ~CChildFrame() override;

    COrielDoc& GetDocument() const { return *m_document; }
    COrielView* GetView() const { return m_view; }
    // Sets the title from the document (its file name, or its default name).
    void UpdateTitle();
    // Closes the live scope window and the document's analysis windows and
    // label list, leaving this frame open (before a recording).
    void CloseAnalysisWindows();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();
    void ApplyPlacement();
    bool m_placed = false;

    std::unique_ptr<COrielDoc> m_document;
    COrielView* m_view = nullptr;
};

}  // namespace vocomet
