#pragma once
// The pitch window's frame: an MDI child on the document of the main view
// that opened it, holding one CPitchView. Its title is the document's title
// followed by "::Pitch "; its normal position is the placement shared by
// every pitch window, stored on every move and resize once the window has
// been placed. It carries the window's File and Log commands while it is
// the active window. UI thread only.

#include <QMdiSubWindow>

#include "app/ui/AnalysisWindowCommands.h"
#include "core/ApplicationSettings.h"

class QPainter;

namespace vocomet {

class COrielDoc;
class CPitchView;
class CPitchPane;

inline constexpr const char* kPitchTitleSuffix = "::Pitch ";
inline constexpr const char* kLogEnterPitchAtMarker = "Enter Pitch at Marker";
inline constexpr const char* kLogEnterPitchSelection = "Enter Pitch Selection";
inline constexpr const char* kLogEnterPitchAll = "Enter Pitch All";

class CPitchFrame : public QMdiSubWindow, public AnalysisWindowCommands {
    Q_OBJECT
public:
    // placement: the pitch placement (left, top, width, height).
    CPitchFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CPitchFrame() override;

    CPitchView* GetView() const { return m_view; }
    CPitchPane* Pane() const;
    COrielDoc& GetDocument() const { return m_doc; }
    // Title := the document's title and "::Pitch ".
    void OnUpdateFrameTitle();

    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void StorePlacement();

    COrielDoc& m_doc;
    WindowPlacement& m_placement;
    CPitchView* m_view = nullptr;
    bool m_storePlacement = false;
};

}  // namespace vocomet
