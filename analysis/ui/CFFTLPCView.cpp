#include "analysis/ui/CFFTLPCView.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QStyle>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/ChannelSampleSource.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "app/BitmapFile.h"
#include "app/FftLpcLogEntries.h"
#include "app/PictureExport.h"
#include "app/LogEntry.h"
#include "widgets/DrawingRoutines.h"
#include "widgets/PrintRoutines.h"
#include "core/COrielDoc.h"
#include "dsp/CMathFunc.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr const char* kCaptions[8] = {
    "Sample Rate (Hz) = ",      "LPC Coefficients  = ",       "Bandwidth (Hz) =  ", "Window Length (pts) =  ",
    "Applied Window (ms) =  ",  "Average Step Size (ms) =  ", "Power (dB) =  ",     "Frequency (Hz) =  ",
};
// The formant box and the plot start this far from the left edge, which
// leaves room for the level labels.
constexpr int kPlotLeft = 50;
constexpr platform::ColorRef kFftColour = 0x000000;  // black
constexpr platform::ColorRef kLpcColour = 0xFF0000;  // blue (0x00BBGGRR)

// Settings values of the window.
constexpr int kAbsolute = 5, kDbRange = 6, kInches = 7, kColour = 8, kFrequencyGridOn = 9, kFrequencyStep = 10,
              kLevelGridOn = 11, kLevelStep = 12, kDrawLpc = 14, kLogStep = 15;

QString Int(long long v) { return QString::asprintf("%lld", v); }

long long WholeRate(double rate) { return rate >= -9e18 && rate <= 9e18 ? static_cast<long long>(rate) : 0; }

}  // namespace

CFFTLPCView::CFFTLPCView(COrielDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompts(doc.Prompts()), m_math(std::make_unique<CMathFunc>()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font = QFont(QStringLiteral("Arial"));
    m_font.setPixelSize(12);
    for (int i = 0; i < 8; ++i) {
        // The captions' trailing blanks only spaced the template's fields.
        m_captions[i] = new QLabel(QString::fromLatin1(kCaptions[i]).trimmed(), this);
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setReadOnly(true);
        m_fields[i]->setFocusPolicy(Qt::NoFocus);
        m_fields[i]->setObjectName(QStringLiteral("field%1").arg(i));
    }
    m_formantBox = new QPlainTextEdit(this);
    m_formantBox->setObjectName(QStringLiteral("formants"));
    m_formantBox->setReadOnly(true);
    m_formantBox->setFocusPolicy(Qt::NoFocus);
    m_formantBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_formantBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_formantBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMinimumSize(300, 200);
}

CFFTLPCView::~CFFTLPCView() = default;

QString CFFTLPCView::FieldText(int field) const {
    return field >= 0 && field < 8 ? m_fields[field]->text() : QString();
}

QString CFFTLPCView::FormantText() const { return m_formantBox->toPlainText(); }

QString CFFTLPCView::FormantBoxText(const FftLpcResult& result) {
    // An empty slot (-1) shows nothing; the log entries still hold -1.
    auto line = [](const char* head, const std::array<double, kFftLpcFormantSlots>& values) {
        QString text = QString::fromLatin1(head);
        for (double v : values)
            text += v < 0.0 ? QStringLiteral("\t") : QStringLiteral("\t") + QString::asprintf("%7.1f", v);
        return text;
    };
    return line("Formants\t=", result.formants) + QLatin1Char('\n') + line("Bandwidths\t=", result.bandwidths);
}

void CFFTLPCView::SetField(int field, const QString& text) { m_fields[field]->setText(text); }

void CFFTLPCView::SetData(const ChannelSampleSource& source, double firstSample, double lastSample,
                          double sampleCount, double rate, const FftLpcSettings& settings) {
    const FftLpcInputs inputs = MakeFftLpcInputs(firstSample, lastSample, sampleCount, rate, settings);
    const std::string refusal = CheckFftLpcInputs(inputs);
    if (!refusal.empty()) {
        m_prompts.Message(refusal, platform::Buttons::Ok, platform::Icon::Warning);
        throw platform::UserException();
    }
    if (!source.IsValid())
        throw platform::UserException();
    FftLpcResult result;
    try {
        const platform::BusyGuard busy(m_prompts);
        result = ComputeFftLpc(source, inputs, *m_math);
    } catch (const FftLpcRoutineError&) {
        m_prompts.Message(kFftLpcRoutineError, platform::Buttons::Ok, platform::Icon::Error);
        throw platform::UserException();
    }
    m_settings = settings;
    m_inputs = inputs;
    m_result = std::move(result);
    m_haveData = true;
    m_markerSet = false;
    m_markerFrequency = 0.0;
    m_markerLevels = {};

    const long long wholeRate = WholeRate(rate);
    SetField(0, Int(wholeRate));
    SetField(1, Int(inputs.lpcOrder));
    SetField(2, Int(inputs.fftSize > 0 ? wholeRate / inputs.fftSize : 0));
    SetField(3, Int(inputs.fftSize));
    SetField(4, Int(inputs.appliedWindowMs));
    SetField(5, Int(inputs.averageStepMs));
    DrawPlot();
    update();
}

void CFFTLPCView::LayoutPlot() {
    constexpr int kMargin = 4;
    // The read-outs keep one width, so the form does not move under the
    // pointer; the header fields fit their values.
    std::array<ReadoutPair, 8> pairs;
    for (int i = 0; i < 8; ++i)
        pairs[static_cast<std::size_t>(i)] = {m_captions[i], m_fields[i], QString()};
    pairs[kFieldPower].widest = QStringLiteral("-000.0");
    pairs[kFieldFrequency].widest = QStringLiteral("00000.0");
    const int headerBottom = FlowReadouts(pairs, kMargin, kMargin, width() - 2 * kMargin);

    // The formant box: a label column, "=" and five values right-aligned
    // on tab stops, two lines.
    const QFontMetrics boxMetrics(m_formantBox->font());
    const int blank = boxMetrics.horizontalAdvance(QStringLiteral("  "));
    const int valueWidth = boxMetrics.horizontalAdvance(QStringLiteral("0000.0")) + blank;
    QList<QTextOption::Tab> tabs;
    int tab = boxMetrics.horizontalAdvance(QStringLiteral("Bandwidths")) + blank;
    tabs.append(QTextOption::Tab(tab, QTextOption::LeftTab));
    tab += boxMetrics.horizontalAdvance(QStringLiteral("=")) + valueWidth;
    for (int k = 0; k < kFftLpcFormantSlots; ++k, tab += valueWidth)
        tabs.append(QTextOption::Tab(tab, QTextOption::RightTab));
    QTextOption option = m_formantBox->document()->defaultTextOption();
    option.setTabs(tabs);
    m_formantBox->document()->setDefaultTextOption(option);
    const int frame = m_formantBox->frameWidth();
    const int documentMargin = static_cast<int>(std::ceil(m_formantBox->document()->documentMargin()));
    const int boxHeight = 2 * boxMetrics.lineSpacing() + 2 * frame + 2 * documentMargin + 2;
    m_formantBox->setGeometry(kMargin, headerBottom + 4, std::max(0, width() - 2 * kMargin), boxHeight);

    // The plot leaves room for the level labels on the left, the frequency
    // labels below and half the last frequency label on the right.
    const QFontMetrics plotMetrics(m_font);
    const int left = kMargin + plotMetrics.horizontalAdvance(QStringLiteral("-999")) + 5;
    const int top = m_formantBox->geometry().bottom() + 1 + 5;
    const int right = width() - std::max(5, plotMetrics.horizontalAdvance(QStringLiteral("99999")) / 2 - 9);
    const int bottom = height() - plotMetrics.height() - 4;
    m_plot = QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

SpectrumPanel CFFTLPCView::MakePanel(const QRect& rect, bool labelled, bool colour, bool drawLpc) const {
    const FftLpcResult& r = m_result;
    const bool absolute = m_settings.values[kAbsolute] != 0;
    SpectrumPanel p;
    p.levels = r.fftCurve;
    p.levels2 = r.lpcCurve;
    p.firstIndex = 0;
    p.count = r.pointCount;
    p.rect = rect;
    p.penWidthFactor = 1;
    p.levelScale = m_settings.values[kDbRange];
    // Absolute display: the scale spans the dB range above the spectrum's
    // minimum; relative: the spectrum's own range.
    p.maxLevel = absolute ? m_settings.values[kDbRange] : r.fftRange;
    p.minLevel = absolute ? 0.0 : r.fftMinimum;
    p.colour1 = colour ? kFftColour : 0;
    p.colour2 = colour ? kLpcColour : 0;
    p.frequencyStep = m_settings.values[kFrequencyStep];
    p.topFrequency = m_inputs.maxFrequency;
    p.levelStep = m_settings.values[kLevelStep];
    p.levelMode = 0;
    // The level read-out measures from the spectrum's minimum in absolute
    // display: the axis beside the plot counts the same way.
    p.levelsAboveBottom = absolute;
    p.curve1On = r.fftComputed;
    p.curve2On = drawLpc;
    p.frequencyGrid = m_settings.values[kFrequencyGridOn] != 0;
    p.levelGrid = m_settings.values[kLevelGridOn] != 0;
    p.title = labelled;
    p.print = labelled;
    return p;
}

SpectrumPanel CFFTLPCView::ScreenPanel() const {
    return MakePanel(m_plot, false, true, m_settings.values[kDrawLpc] != 0 && m_result.lpcComputed);
}

void CFFTLPCView::DrawPanel(QPainter& dc, const QRect& rect, bool labelled, bool colour, bool drawLpc) const {
    const SpectrumPanel p = MakePanel(rect, labelled, colour, drawLpc);
    QFont font = m_font;
    if (labelled)
        font.setPixelSize(std::max(8, rect.height() / 25));
    dc.save();
    dc.setPen(QPen(Qt::black, 1));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(rect.adjusted(0, 0, -1, -1));
    dc.restore();
    DrawSpectrumPanel(dc, p, font);
}

void CFFTLPCView::DrawPlot() {
    LayoutPlot();
    if (width() <= 0 || height() <= 0)
        return;
    m_picture = QImage(size(), QImage::Format_RGB32);
    if (m_picture.isNull())
        return;
    m_picture.fill(palette().window().color());
    QPainter dc(&m_picture);
    dc.fillRect(m_plot, Qt::white);
    if (!m_haveData || !m_result.fftComputed)
        return;
    const bool drawLpc = m_settings.values[kDrawLpc] != 0 && m_result.lpcComputed;
    DrawPanel(dc, m_plot, false, true, drawLpc);
    if (m_markerSet && m_result.pointCount > 0) {
        const int x = m_plot.left() +
                      static_cast<int>(m_markerFrequency * m_plot.width() / m_result.pointCount);
        dc.setPen(QPen(Qt::black, 1));
        dc.drawLine(x, m_plot.top() + m_plot.height(), x, m_plot.top());
    }
    if (m_result.formantsPicked)
        m_formantBox->setPlainText(FormantBoxText(m_result));
}

void CFFTLPCView::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    if (m_picture.size() != size())
        DrawPlot();
    dc.drawImage(0, 0, m_picture);
    // The pointer line follows the mouse when the document asks for it.
    if (m_pointerX >= 0 && m_doc.settings.display.mouseReadout != 0) {
        dc.setPen(QPen(QColor(255, 0, 0), 1));
        dc.drawLine(m_pointerX, m_plot.top(), m_pointerX, m_plot.top() + m_plot.height());
    }
}

void CFFTLPCView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Only the layout changes: the curves have one point per Hz whatever
    // the size, so nothing is computed again.
    DrawPlot();
    update();
}

void CFFTLPCView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_markerSet = false;
    m_markerFrequency = 0.0;
    m_markerLevels = {};
    const QPoint at = event->position().toPoint();
    if (!m_plot.contains(at))
        return;
    m_markerSet = true;
    if (!m_haveData || !m_result.fftComputed)
        return;
    const int i = FftLpcPointAt(at.x(), m_plot.left(), m_plot.left() + m_plot.width(), m_result.pointCount);
    if (i < 0)
        return;
    m_markerLevels = FftLpcLevelsAt(m_result, i, m_settings.values[kAbsolute] != 0);
    m_markerFrequency = i * m_result.hzPerPoint;
}

void CFFTLPCView::mouseReleaseEvent(QMouseEvent* event) {
    DrawPlot();
    update();
    QWidget::mouseReleaseEvent(event);
}

void CFFTLPCView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_plot.contains(at)) {
        if (at.x() != m_pointerX) {
            const int old = m_pointerX;
            m_pointerX = at.x();
            if (m_doc.settings.display.mouseReadout != 0) {
                if (old >= 0)
                    update(QRect(old, m_plot.top(), 1, m_plot.height() + 1));
                update(QRect(m_pointerX, m_plot.top(), 1, m_plot.height() + 1));
            }
            if (m_haveData && m_result.fftComputed) {
                const int i =
                    FftLpcPointAt(at.x(), m_plot.left(), m_plot.left() + m_plot.width(), m_result.pointCount);
                if (i >= 0) {
                    const bool absolute = m_settings.values[kAbsolute] != 0;
                    SetField(kFieldPower, QString::fromStdString(FftLpcPowerText(m_result, i, absolute)));
                    SetField(kFieldFrequency, QString::fromStdString(FftLpcFrequencyText(m_result, i)));
                }
            }
        }
    }
    QWidget::mouseMoveEvent(event);
}

void CFFTLPCView::leaveEvent(QEvent* event) {
    if (m_pointerX >= 0) {
        update(QRect(m_pointerX, m_plot.top(), 1, m_plot.height() + 1));
        m_pointerX = -1;
    }
    QWidget::leaveEvent(event);
}

// ---- printing and picture export --------------------------------------------

void CFFTLPCView::OnPrint(QPainter& dc) {
    dc.save();
    int unit = 0;
    const QRect plot = DrawPrintedPictureFrame(dc, m_settings.pictureWidth, m_settings.pictureHeight,
                                               m_settings.values[kInches] != 0, m_doc.GetTitle(), unit);
    if (m_haveData && !plot.isEmpty())
        DrawPanel(dc, plot, true, m_settings.values[kColour] != 0, m_settings.values[kDrawLpc] != 0);
    dc.restore();
}

bool CFFTLPCView::PrintTo(QPrinter& printer) {
    return PrintPage(printer, [this](QPainter& dc) { OnPrint(dc); });
}

void CFFTLPCView::OnFilePrint() {
    PrintWithDialog(this, [this](QPainter& dc) { OnPrint(dc); });
}

void CFFTLPCView::OnFilePrintPreview() {
    PrintPreview(this, [this](QPainter& dc) { OnPrint(dc); });
}

QImage CFFTLPCView::RenderBitmap(int width, int height) const {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter dc(&picture);
    QFont font = m_font;
    font.setPixelSize(std::max(8, height / 25));
    dc.setFont(font);
    const QFontMetrics fm(font);
    const int tw = fm.horizontalAdvance(QStringLiteral("999"));
    const int th = fm.height();
    const QRect inner(tw, 0, std::max(0, width - tw), std::max(0, height - 2 * th));
    dc.setPen(QPen(Qt::black, 2));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(QRect(0, 0, width, height).adjusted(1, 1, -1, -1));
    dc.drawRect(inner.adjusted(1, 1, -1, -1));
    if (m_haveData && !inner.isEmpty())
        DrawPanel(dc, inner, true, m_settings.values[kColour] != 0, m_settings.values[kDrawLpc] != 0);
    return picture;
}

void CFFTLPCView::OnFileSaveAsBmp() {
    const std::string path = AskBitmapSavePath(m_prompts, kFftLpcBitmapName);
    if (path.empty()) {
        m_prompts.Beep();
        m_prompts.Message(kFftLpcBitmapPathRefused, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    int result = 1;
    std::string reason;
    {
        const platform::BusyGuard busy(m_prompts);
        const PictureSize size = BitmapPictureSize(m_settings.pictureWidth, m_settings.pictureHeight,
                                                   m_settings.values[kInches] != 0, physicalDpiX() / 25.4,
                                                   physicalDpiY() / 25.4);
        if (BitmapSizeAllowed(size.width, size.height)) {
            try {
                result = WriteBitmapFile(RenderBitmap(static_cast<int>(size.width), static_cast<int>(size.height)),
                                         path, &reason);
            } catch (...) {
                result = 1;
            }
        }
    }
    if (result != 0)
        ReportBitmapSaveFailure(m_prompts, reason);
}

// ---- log entries -------------------------------------------------------------

bool CFFTLPCView::CanLogEnterAllFFTLPCFrame() const {
    return logFrame && logFrame() && m_haveData && m_result.fftComputed;
}

bool CFFTLPCView::CanLogEnterAtMarker() const { return CanLogEnterAllFFTLPCFrame() && m_markerSet; }

bool CFFTLPCView::CanLogEnterFormantsAndBandwidths() const {
    return CanLogEnterAllFFTLPCFrame() && m_result.formantsPicked;
}

void CFFTLPCView::OnLogEnterAtMarker() {
    if (!CanLogEnterAtMarker())
        return;
    try {
        logFrame()->AddEntry(FftLpcMarkerEntry(m_doc.GetTitle(), m_markerFrequency, m_markerLevels,
                                               m_settings.values[kDrawLpc] != 0));
    } catch (...) {
    }
}

void CFFTLPCView::OnLogEnterFormantsAndBandwidths() {
    if (!CanLogEnterFormantsAndBandwidths())
        return;
    try {
        logFrame()->AddEntry(FftLpcFormantEntry(m_doc.GetTitle(), m_result));
    } catch (...) {
    }
}

void CFFTLPCView::OnLogEnterAllFFTLPCFrame() {
    if (!CanLogEnterAllFFTLPCFrame())
        return;
    try {
        const std::vector<LogEntry> entries =
            FftLpcAllFrameEntries(m_doc.GetTitle(), m_result, m_doc.settings.fftLpc.values[kLogStep],
                                  m_inputs.maxFrequency,
                                  m_settings.values[kAbsolute] != 0, m_settings.values[kDrawLpc] != 0);
        logFrame()->AddEntries(entries);
    } catch (...) {
    }
}

bool CFFTLPCView::HasLogCommand(std::string_view text) const {
    return text == kLogEnterAtMarker || text == kLogEnterFormants || text == kLogEnterAllFrame;
}

bool CFFTLPCView::CanLogCommand(std::string_view text) const {
    if (text == kLogEnterAtMarker)
        return CanLogEnterAtMarker();
    if (text == kLogEnterFormants)
        return CanLogEnterFormantsAndBandwidths();
    if (text == kLogEnterAllFrame)
        return CanLogEnterAllFFTLPCFrame();
    return false;
}

void CFFTLPCView::OnLogCommand(std::string_view text) {
    if (text == kLogEnterAtMarker)
        OnLogEnterAtMarker();
    else if (text == kLogEnterFormants)
        OnLogEnterFormantsAndBandwidths();
    else if (text == kLogEnterAllFrame)
        OnLogEnterAllFFTLPCFrame();
}

}  // namespace vocomet
