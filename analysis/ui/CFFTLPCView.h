#pragma once
// The FFT/LPC window's view: a header strip with the analysis settings, the
// power and frequency read-outs under the pointer, the formant text and the
// spectrum plot (FFT power spectrum and LPC envelope) below it.
//
// SetData checks the settings against the rate, computes once (the frame
// walk of FftLpcAnalysis over one sample source) and keeps the result; a
// resize only lays the plot out again and draws. The plot is drawn into a
// picture of the client size; a paint copies it and adds the pointer line.
//
// The view keeps no pointer into the document's samples after SetData, so
// it outlives nothing it reads. UI thread only.

#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "analysis/AnalysisServices.h"
#include "analysis/FftLpcAnalysis.h"
#include "widgets/DrawingRoutines.h"
#include "windows/AnalysisWindowCommands.h"
#include "core/DocumentSettings.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPainter;
class QPrinter;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class COrielDoc;
class LogSink;
class CMathFunc;

inline constexpr const char* kFftLpcBitmapName = "FFT-LPC ";
inline constexpr const char* kFftLpcBitmapPathRefused =
    "Could not open the requested file.\nPlease make sure you have entered a proper file name.";
inline constexpr const char* kLogEnterAtMarker = "Enter at Marker";
inline constexpr const char* kLogEnterFormants = "Enter Formants and Bandwidths";
inline constexpr const char* kLogEnterAllFrame = "Enter All FFT/LPC Frame";

class CFFTLPCView : public QWidget, public FftLpcViewService, public AnalysisWindowCommands {
    Q_OBJECT
public:
    explicit CFFTLPCView(COrielDoc& doc, QWidget* parent = nullptr);
    ~CFFTLPCView() override;

    // The measurement log window the log commands write to (null: closed).
    std::function<LogSink*()> logFrame;

    // Checks, stores, computes and redraws. Settings the window refuses:
    // its message, nothing stored, platform::UserException. A failure of
    // the LPC routine: "Error in performing LPC routine." (once), then
    // platform::UserException.
    void SetData(const ChannelSampleSource& source, double firstSample, double lastSample, double sampleCount,
                 double rate, const FftLpcSettings& settings) override;

    bool HasData() const { return m_haveData; }
    const FftLpcResult& Result() const { return m_result; }
    const FftLpcInputs& Inputs() const { return m_inputs; }
    const FftLpcSettings& Settings() const { return m_settings; }
    QRect PlotRect() const { return m_plot; }
    // What the screen plot is drawn from, and the font of its labels.
    SpectrumPanel ScreenPanel() const;
    QFont PlotFont() const { return m_font; }

    // Texts of the header fields, the read-outs and the formant box.
    QString FieldText(int field) const;  // 0..5 header, 6 power, 7 frequency
    QString FormantText() const;
    // The formant box's two lines: "Formants\t=" and "Bandwidths\t=", each
    // with the five slots after tabs ("%7.1f"; an empty slot stays blank).
    static QString FormantBoxText(const FftLpcResult& result);
    static constexpr int kFieldPower = 6;
    static constexpr int kFieldFrequency = 7;

    // Marker (a press in the plot) and what it measured.
    bool MarkerSet() const { return m_markerSet; }
    double MarkerFrequency() const { return m_markerFrequency; }
    FftLpcLevels MarkerLevels() const { return m_markerLevels; }

    // ---- commands ----
    void OnFilePrint() override;
    void OnFilePrintPreview() override;
    void OnFileSaveAsBmp() override;
    bool HasLogCommand(std::string_view text) const override;
    bool CanLogCommand(std::string_view text) const override;
    void OnLogCommand(std::string_view text) override;
    void OnLogEnterAtMarker();
    void OnLogEnterFormantsAndBandwidths();
    void OnLogEnterAllFFTLPCFrame();
    bool CanLogEnterAtMarker() const;
    bool CanLogEnterFormantsAndBandwidths() const;
    bool CanLogEnterAllFFTLPCFrame() const;

    // One printed page: the title, the frame and the labelled panel.
    void OnPrint(QPainter& dc);
    bool PrintTo(QPrinter& printer);
    // What Save As bmp writes: the framed, labelled panel at width x height.
    QImage RenderBitmap(int width, int height) const;
    // The plot as last drawn on the screen (without the pointer line).
    const QImage& PlotPicture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Places the header, the formant box and the plot from the font's
    // metrics.
    void LayoutPlot();
    // Redraws the plot picture from the result.
    void DrawPlot();
    SpectrumPanel MakePanel(const QRect& rect, bool labelled, bool colour, bool drawLpc) const;
    void DrawPanel(QPainter& dc, const QRect& rect, bool labelled, bool colour, bool drawLpc) const;
    void SetField(int field, const QString& text);

    COrielDoc& m_doc;
    platform::UserPrompts& m_prompts;
    std::unique_ptr<CMathFunc> m_math;
    QLabel* m_captions[8] = {};
    QLineEdit* m_fields[8] = {};
    QPlainTextEdit* m_formantBox = nullptr;
    QFont m_font;

    FftLpcSettings m_settings;
    FftLpcInputs m_inputs;
    FftLpcResult m_result;
    bool m_haveData = false;

    QRect m_plot;
    QImage m_picture;
    int m_pointerX = -1;  // the pointer line, -1 when not shown
    bool m_markerSet = false;
    double m_markerFrequency = 0.0;
    FftLpcLevels m_markerLevels;
};

}  // namespace vocomet
