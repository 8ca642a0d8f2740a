#pragma once
// The child frame of one document: holds the document and its main
// waveform view.
// Closing it asks to save a modified document first.

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<COrielDoc> m_document;
    COrielView* m_view = nullptr;
};

}  // namespace vocomet
