#pragma once
// The pitch window's view: a row of read-outs (the analysis settings, and
// time, duration, pitch and intensity at the cursor) over the drawing pane,
// which fills the rest of the view with a 5-pixel margin. The view routes
// the window's commands to the pane and makes itself the document's active
// pitch view when it is activated. UI thread only.

#include <QString>
#include <QWidget>

#include "analysis/AnalysisServices.h"

class QLabel;
class QLineEdit;

namespace vocomet {

class COrielDoc;
class CPitchPane;

class CPitchView : public QWidget, public PitchViewService {
    Q_OBJECT
public:
    // The read-outs, in the order of their captions.
    enum Readout {
        kSampleRate = 0,
        kWindowLength,
        kStepSize,
        kDeviation,
        kThreshold,
        kTime,
        kDuration,
        kPitch,
        kIntensity,
        kReadoutCount
    };

    explicit CPitchView(COrielDoc& doc, QWidget* parent = nullptr);
    ~CPitchView() override;

    COrielDoc& GetDocument() const { return m_doc; }
    CPitchPane* Pane() const { return m_pane; }

    // Makes the pane (once).
    void OnInitialUpdate();
    // The pane's channel; then the settings read-outs.
    void SetChannel(int channel) override;
    PitchPaneService& GetPane() override;
    // A value of exactly -1 leaves its read-out as it is.
    void ShowCursorValues(double time, double pitch, double duration, double intensity);
    // The document's active pitch view becomes this one.
    void OnActivateView();

    QString ReadoutText(int readout) const;
    // The document is gone before this view: it is not touched again.
    void DetachDocument();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void PlacePane();

    COrielDoc& m_doc;
    QWidget* m_header = nullptr;
    QLabel* m_captions[kReadoutCount] = {};
    QLineEdit* m_readouts[kReadoutCount] = {};
    CPitchPane* m_pane = nullptr;
    bool m_detached = false;
};

}  // namespace vocomet
