#include "analysis/ui/CSpectrogramView.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <algorithm>
#include <array>

#include "analysis/SpectrogramAnalysis.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "widgets/PrintRoutines.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/AnalysisServices.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr const char* kCaptions[CSpectrogramView::kFieldCount] = {
    "Sample Rate (Hz) = ", "Window Length (pts) =  ", "Dynamic range (dB) = ",
    "LPC Coefficients  = ", "Bandwidth (Hz) =  ",     "PreEmphasis = ",
    "Time (ms) =  ",       "Duration (ms) =  ",       "Frequency (Hz) =  ",
};
constexpr int kPaneId = 10000;
constexpr int kPaneInset = 5;

long long WholeRate(double rate) { return rate >= -9e18 && rate <= 9e18 ? static_cast<long long>(rate) : 0; }

}  // namespace

CSpectrogramView::CSpectrogramView(COrielDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    m_header = new QWidget(this);
    m_header->setObjectName(QStringLiteral("header"));
    for (int i = 0; i < kFieldCount; ++i) {
        // The captions' trailing blanks only spaced the template's fields.
        m_captions[i] = new QLabel(QString::fromLatin1(kCaptions[i]).trimmed(), m_header);
        m_fields[i] = new QLineEdit(m_header);
        m_fields[i]->setReadOnly(true);
        m_fields[i]->setFocusPolicy(Qt::NoFocus);
        m_fields[i]->setObjectName(QStringLiteral("field%1").arg(i));
    }
    setMinimumSize(200, 150);
}

CSpectrogramView::~CSpectrogramView() {
    if (!m_detached && m_doc.spectrogramView == this)
        m_doc.spectrogramView = nullptr;
}

int CSpectrogramView::LayOutHeader() {
    std::array<ReadoutPair, kFieldCount> pairs;
    for (int i = 0; i < kFieldCount; ++i)
        pairs[static_cast<std::size_t>(i)] = {m_captions[i], m_fields[i], QString()};
    // The cursor read-outs keep one width: the header does not move under
    // the pointer.
    pairs[kTime].widest = QStringLiteral("0000000.0");
    pairs[kDuration].widest = QStringLiteral("0000000.0");
    pairs[kFrequency].widest = QStringLiteral("00000.0");
    const int height = FlowReadouts(pairs, 8, 6, std::max(width() - 16, 0)) + 2;
    m_header->setGeometry(0, 0, width(), height);
    return height;
}

QRect CSpectrogramView::PaneRect() const {
    const int headerHeight = m_header->height();
    const int top = headerHeight + kPaneInset;
    return QRect(kPaneInset, top, std::max(0, width() - 2 * kPaneInset), std::max(0, height() - kPaneInset - top));
}

void CSpectrogramView::OnInitialUpdate() {
    if (m_pane)
        return;
    try {
        m_pane = new CSpectrogramPane(m_doc, this);
    } catch (const std::exception&) {
        m_pane = nullptr;
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message(kCannotCreateView, platform::Buttons::Ok, platform::Icon::Warning);
        return;
    }
    m_pane->setProperty("id", kPaneId);
    m_pane->hooks.showCursorValues = [this](double t, double f, double d) { ShowCursorValues(t, f, d); };
    LayOutHeader();
    m_pane->MovePane(PaneRect(), true);
}

void CSpectrogramView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOutHeader();
    if (m_pane)
        m_pane->MovePane(PaneRect(), true);
}

void CSpectrogramView::SetAnalysisSettings(const std::shared_ptr<platform::File>& dataFile, double totalSamples,
                                           double rate, double startSample, double endSample, double startMs,
                                           double endMs, const SpectrogramSettings& settings) {
    if (!m_pane)
        return;
    SpectrogramInputs inputs;
    inputs.rate = rate;
    inputs.rangeStart = startSample;
    inputs.rangeEnd = endSample;
    inputs.settings = settings;
    const std::string refusal = CheckSpectrogramInputs(inputs);
    if (!refusal.empty()) {
        m_doc.Prompts().Message(refusal, platform::Buttons::Ok, platform::Icon::Warning);
        throw platform::UserException();
    }
    const long long wholeRate = WholeRate(rate);
    const int points = SpectrogramFftPoints(settings);
    m_fields[kRate]->setText(QString::asprintf("%lld", wholeRate));
    m_fields[kWindowPoints]->setText(QString::asprintf("%d", points));
    m_fields[kDynamicRange]->setText(QString::asprintf("%d", SpectrogramDynamicRange(settings)));
    m_fields[kLpcOrder]->setText(QString::asprintf("%d", SpectrogramLpcOrder(settings)));
    m_fields[kBandwidth]->setText(QString::asprintf("%lld", points > 0 ? wholeRate / points : 0));
    m_fields[kPreEmphasis]->setText(QString::asprintf("%3.2f", settings.preEmphasis));
    // The header fits its values: the pane takes what is left, before it
    // lays its plot out for the computation.
    LayOutHeader();
    m_pane->MovePane(PaneRect(), false);
    m_pane->SetAnalysisSettings(AnalysedChannel(m_doc), dataFile, totalSamples, rate, startSample, endSample,
                                startMs, endMs, settings);
    m_doc.spectrogramView = this;
}

SpectrogramPaneService& CSpectrogramView::GetPane() {
    if (!m_pane)
        throw platform::UserException();
    return *m_pane;
}

void CSpectrogramView::ShowCursorValues(double timeMs, double frequency, double durationMs) {
    if (timeMs != -1.0)
        m_fields[kTime]->setText(QString::asprintf("%20.1f", timeMs).trimmed());
    if (frequency != -1.0)
        m_fields[kFrequency]->setText(QString::asprintf("%5.1f", frequency).trimmed());
    if (durationMs != -1.0)
        m_fields[kDuration]->setText(QString::asprintf("%20.1f", durationMs).trimmed());
}

QString CSpectrogramView::FieldText(int field) const {
    return field >= 0 && field < kFieldCount ? m_fields[field]->text() : QString();
}

void CSpectrogramView::OnActivateView() {
    if (m_pane && m_pane->IsSpectrogramValid())
        m_doc.spectrogramView = this;
}

// ---- commands ---------------------------------------------------------------------

void CSpectrogramView::OnFilePrint() {
    if (m_pane && m_pane->IsSpectrogramValid())
        PrintWithDialog(this, [this](QPainter& dc) { m_pane->PrintSpectrogram(dc); });
}

void CSpectrogramView::OnFilePrintPreview() {
    if (m_pane && m_pane->IsSpectrogramValid())
        PrintPreview(this, [this](QPainter& dc) { m_pane->PrintSpectrogram(dc); });
}

void CSpectrogramView::OnFileSaveAsBmp() {
    if (m_pane)
        m_pane->SaveAsBmp();
}

bool CSpectrogramView::HasLogCommand(std::string_view text) const {
    return text == kSpectrogramLogEnterAtMarker || text == kSpectrogramLogEnterDuration || text == kSpectrogramLogEnterFormantsAtMarker ||
           text == kSpectrogramLogEnterFormantsSelection;
}

bool CSpectrogramView::CanLogCommand(std::string_view text) const {
    if (!m_pane)
        return false;
    if (text == kSpectrogramLogEnterAtMarker)
        return m_pane->CanLogAtMarker();
    if (text == kSpectrogramLogEnterDuration)
        return m_pane->CanLogDuration();
    if (text == kSpectrogramLogEnterFormantsAtMarker)
        return m_pane->CanLogFormantsAtMarker();
    if (text == kSpectrogramLogEnterFormantsSelection)
        return m_pane->CanLogFormantsSelection();
    return false;
}

void CSpectrogramView::OnLogCommand(std::string_view text) {
    if (!m_pane)
        return;
    if (text == kSpectrogramLogEnterAtMarker)
        m_pane->LogAtMarker();
    else if (text == kSpectrogramLogEnterDuration)
        m_pane->LogDuration();
    else if (text == kSpectrogramLogEnterFormantsAtMarker)
        m_pane->LogFormantsAtMarker();
    else if (text == kSpectrogramLogEnterFormantsSelection)
        m_pane->LogFormantsSelection();
}

}  // namespace vocomet
