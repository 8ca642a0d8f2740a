#pragma once
// The spectrogram window's frame: an MDI child on the document of the main
// view that opened it, holding one CSpectrogramView. Its title is the
// document's title followed by "::Spectrogram "; its normal position is the
// placement shared by every spectrogram window, stored on every move and
// resize once the window has been placed. UI thread only.

#include "analysis/ui/AnalysisWindowSupport.h"

namespace vocomet {

class COrielDoc;
class CSpectrogramView;

inline constexpr const char* kSpectrogramTitleSuffix = "::Spectrogram ";

class CSpectrogramFrame : public PlacedAnalysisFrame {
    Q_OBJECT
public:
    // placement: the spectrogram placement (left, top, width, height).
    CSpectrogramFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CSpectrogramFrame() override;

    CSpectrogramView* GetView() const { return m_view; }

private:
    CSpectrogramView* m_view = nullptr;
};

}  // namespace vocomet
