#pragma once
// The pitch window's frame: an MDI child on the document of the main view
// that opened it, holding one CPitchView. Its title is the document's title
// followed by "::Pitch "; its normal position is the placement shared by
// every pitch window, stored on every move and resize once the window has
// been placed. It carries the window's File and Log commands while it is
// the active window. UI thread only.

#include "analysis/ui/AnalysisWindowSupport.h"

class QPainter;

namespace vocomet {

class COrielDoc;
class CPitchView;
class CPitchPane;

inline constexpr const char* kPitchTitleSuffix = "::Pitch ";
inline constexpr const char* kLogEnterPitchAtMarker = "Enter Pitch at Marker";
inline constexpr const char* kLogEnterPitchSelection = "Enter Pitch Selection";
inline constexpr const char* kLogEnterPitchAll = "Enter Pitch All";

class CPitchFrame : public PlacedAnalysisFrame {
    Q_OBJECT
public:
    // placement: the pitch placement (left, top, width, height).
    CPitchFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent = nullptr);
    ~CPitchFrame() override;

    CPitchView* GetView() const { return m_view; }
    CPitchPane* Pane() const;

    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;

private:
    CPitchView* m_view = nullptr;
};

}  // namespace vocomet
