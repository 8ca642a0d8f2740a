#pragma once
// The spectrogram window's view: the read-outs on top (sample rate, window
// points, dynamic range, LPC order, bandwidth, pre-emphasis; the time,
// duration and frequency under the mouse) and the spectrogram pane below,
// 5 pixels in from the view's edges.
//
// SetAnalysisSettings checks the settings against the rate and the range
// before the pane gets them: a refusal shows its message and throws
// platform::UserException, and the opening command discards the window.
//
// While it is open and active the view is the document's spectrogram view,
// through which the other windows reach its pane. UI thread only.

#include <QWidget>
#include <memory>

#include "analysis/AnalysisServices.h"
#include "windows/AnalysisWindowCommands.h"
#include "core/DocumentSettings.h"

class QLineEdit;
class QLabel;

namespace vocomet {

class COrielDoc;
class CSpectrogramPane;

inline constexpr const char* kSpectrogramLogEnterAtMarker = "Enter at Marker";
inline constexpr const char* kSpectrogramLogEnterDuration = "Enter Duration";
inline constexpr const char* kSpectrogramLogEnterFormantsAtMarker = "Enter Formants at Marker";
inline constexpr const char* kSpectrogramLogEnterFormantsSelection = "Enter Formants Selection";

class CSpectrogramView : public QWidget, public SpectrogramViewService, public AnalysisWindowCommands {
    Q_OBJECT
public:
    // The read-outs, in the order of their fields.
    enum Field : int {
        kRate = 0,
        kWindowPoints,
        kDynamicRange,
        kLpcOrder,
        kBandwidth,
        kPreEmphasis,
        kTime,
        kDuration,
        kFrequency,
        kFieldCount
    };

    explicit CSpectrogramView(COrielDoc& doc, QWidget* parent = nullptr);
    ~CSpectrogramView() override;

    // Makes and lays out the pane (empty until settings arrive).
    void OnInitialUpdate();

    void SetAnalysisSettings(const std::shared_ptr<platform::File>& dataFile, double totalSamples, double rate,
                             double startSample, double endSample, double startMs, double endMs,
                             const SpectrogramSettings& settings) override;
    SpectrogramPaneService& GetPane() override;
    CSpectrogramPane* Pane() const { return m_pane; }
    COrielDoc& GetDocument() const { return m_doc; }
    // The document is going away before this window: forget it (the
    // window is hidden and deleted right after).
    void DetachDocument() { m_detached = true; }

    // The live read-outs: time and duration "%20.1f", frequency "%5.1f";
    // -1 leaves a read-out as it is.
    void ShowCursorValues(double timeMs, double frequency, double durationMs);
    QString FieldText(int field) const;

    // Makes the view the document's spectrogram view when its pane holds a
    // spectrogram (activation of its window).
    void OnActivateView();

    // ---- commands of the window ----
    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect PaneRect() const;
    // Places the read-outs; returns the header's height.
    int LayOutHeader();

    COrielDoc& m_doc;
    bool m_detached = false;
    QWidget* m_header = nullptr;
    QLabel* m_captions[kFieldCount] = {};
    QLineEdit* m_fields[kFieldCount] = {};
    CSpectrogramPane* m_pane = nullptr;
};

}  // namespace vocomet
