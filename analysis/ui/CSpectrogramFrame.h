#pragma once
// The spectrogram window's frame: an MDI child on the document of the main
// view that opened it, holding one CSpectrogramView. Its title is the
// document's title followed by "::Spectrogram "; its normal position is the
// placement shared by every spectrogram window, stored on every move and
// resize once the window has been placed. UI thread only.

#include <QMdiSubWindow>

#include "app/ui/AnalysisWindowCommands.h"
#include "core/ApplicationSettings.h"

namespace vocomet {

class COrielDoc;
class CSpectrogramView;

inline constexpr const char* kSpectrogramTitleSuffix = "::Spectrogram ";

class CSpectrogramFrame : public QMdiSubWindow, public AnalysisWindowCommands {
    Q_OBJECT
public:
    // placement: the spectrogram placement (left, top, width, height).
    CSpectrogramFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CSpectrogramFrame() override;

    CSpectrogramView* GetView() const { return m_view; }
    COrielDoc& GetDocument() const { return m_doc; }
    // Title := the document's title and "::Spectrogram ".
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
    CSpectrogramView* m_view = nullptr;
    bool m_storePlacement = false;
};

}  // namespace vocomet
