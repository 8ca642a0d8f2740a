#pragma once
// The FFT/LPC window's frame: an MDI child on the document of the main view
// that opened it, holding one CFFTLPCView. Its title is the document's
// title followed by the caption suffix; its normal position is the FFT/LPC
// placement shared by every FFT/LPC window, stored on every move and
// resize. UI thread only.

#include <QMdiSubWindow>
#include <QString>

#include "app/ui/AnalysisWindowCommands.h"
#include "core/ApplicationSettings.h"

namespace vocomet {

class COrielDoc;
class CFFTLPCView;

inline constexpr const char* kFftLpcMarkerSuffix = " ::FFT/LPC";
inline constexpr const char* kFftLpcAverageSuffix = " ::Average FFT/LPC";

class CFFTLPCFrame : public QMdiSubWindow, public AnalysisWindowCommands {
    Q_OBJECT
public:
    // placement: the FFT/LPC placement (left, top, width, height).
    CFFTLPCFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CFFTLPCFrame() override;

    CFFTLPCView* GetView() const { return m_view; }
    COrielDoc& GetDocument() const { return m_doc; }
    void SetCaptionSuffix(const QString& suffix);
    const QString& CaptionSuffix() const { return m_suffix; }
    // Title := the document's title and the caption suffix.
    void OnUpdateFrameTitle();
    // The placement stops following this window (before it is destroyed by
    // its opener after a refusal, so a refused window leaves no trace).
    void StopStoringPlacement() { m_storePlacement = false; }

    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void StorePlacement();

    COrielDoc& m_doc;
    WindowPlacement& m_placement;
    CFFTLPCView* m_view = nullptr;
    QString m_suffix;
    bool m_storePlacement = false;
};

}  // namespace vocomet
