#pragma once
// The FFT/LPC window's frame: an MDI child on the document of the main view
// that opened it, holding one CFFTLPCView. Its title is the document's
// title followed by the caption suffix; its normal position is the FFT/LPC
// placement shared by every FFT/LPC window, stored on every move and
// resize. UI thread only.

#include <QString>

#include "analysis/ui/AnalysisWindowSupport.h"

namespace vocomet {

class COrielDoc;
class CFFTLPCView;

inline constexpr const char* kFftLpcMarkerSuffix = " ::FFT/LPC";
inline constexpr const char* kFftLpcAverageSuffix = " ::Average FFT/LPC";

class CFFTLPCFrame : public PlacedAnalysisFrame {
    Q_OBJECT
public:
    // placement: the FFT/LPC placement (left, top, width, height).
    CFFTLPCFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CFFTLPCFrame() override;

    CFFTLPCView* GetView() const { return m_view; }
    // Sets the title's suffix; from here on the placement follows the window.
    void SetCaptionSuffix(const QString& suffix);
    const QString& CaptionSuffix() const { return TitleSuffix(); }

private:
    CFFTLPCView* m_view = nullptr;
};

}  // namespace vocomet
