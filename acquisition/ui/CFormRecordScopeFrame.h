#pragma once
// The child frame of the record-and-scope form, always titled "Sonetta
// Record and Scope". It keeps its normal placement in the place shared by
// the record frames, and asks the form before it closes.

#include <QMdiSubWindow>
#include <memory>

#include "core/ApplicationSettings.h"

namespace platform {
class File;
}

namespace vocomet {

class COrielDoc;
class CFormRecordScope;
class CUSBThread;

class CFormRecordScopeFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Makes the form on doc; placement: left, top, width, height, stored on
    // every move and resize.
    CFormRecordScopeFrame(COrielDoc& doc, std::shared_ptr<platform::File> recordingFile, CUSBThread* worker,
                          WindowPlacement& placement, QWidget* parent = nullptr);
    ~CFormRecordScopeFrame() override;

    CFormRecordScope* Form() const { return m_form; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();

    CFormRecordScope* m_form = nullptr;
    WindowPlacement& m_placement;
    bool m_closing = false;
};

}  // namespace vocomet
