#include "analysis/ui/CPitchView.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/ui/AnalysisWindowSupport.h"
#include "analysis/ui/CPitchPane.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

constexpr const char* kCaptions[CPitchView::kReadoutCount] = {
    "Sample Rate (Hz) = ", "Window length (ms)  = ", "Step size (ms) =  ",
    "Frequency deviation(Hz) =  ", "Threshold (%) = ", "Time (ms)",
    "Duration (ms)", "Pitch (Hz)", "Intensity(dB)",
};

// printf-style, leading blanks removed.
QString Trimmed(const char* format, double value) {
    if (!std::isfinite(value))
        value = 0.0;
    return QString::asprintf(format, value).trimmed();
}

}  // namespace

CPitchView::CPitchView(COrielDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    m_header = new QWidget(this);
    m_header->setObjectName(QStringLiteral("pitchReadouts"));
    // A compact header: a point smaller than the window's font.
    QFont font = this->font();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() - 1.0));
    for (int i = 0; i < kReadoutCount; ++i) {
        // The captions' trailing blanks only spaced the template's fields.
        m_captions[i] = new QLabel(QString::fromLatin1(kCaptions[i]).trimmed(), m_header);
        m_captions[i]->setFont(font);
        m_readouts[i] = new QLineEdit(m_header);
        m_readouts[i]->setFont(font);
        m_readouts[i]->setReadOnly(true);
        m_readouts[i]->setFocusPolicy(Qt::NoFocus);
        m_readouts[i]->setObjectName(QStringLiteral("readout%1").arg(i));
    }
    setMinimumSize(200, 150);
}

CPitchView::~CPitchView() {
    if (!m_detached && m_doc.pitchView == this)
        m_doc.pitchView = nullptr;
}

void CPitchView::DetachDocument() {
    m_detached = true;
    if (m_pane)
        m_pane->DetachDocument();
}

void CPitchView::OnInitialUpdate() {
    if (m_pane)
        return;
    m_pane = new CPitchPane(m_doc, this);
    m_pane->setObjectName(QStringLiteral("pitchPane"));
    m_pane->hooks.showCursorValues = [this](double t, double p, double d, double i) { ShowCursorValues(t, p, d, i); };
    PlacePane();
    m_pane->show();
}

PitchPaneService& CPitchView::GetPane() {
    OnInitialUpdate();
    return *m_pane;
}

void CPitchView::SetChannel(int channel) {
    if (m_detached)
        return;
    OnInitialUpdate();
    m_pane->SetChannel(channel);
    const auto& d = m_doc.settings.pitch.doubles;
    m_readouts[kSampleRate]->setText(Trimmed("%6.0f", m_doc.settings.sampleRate));
    if (channel >= 0 && channel < std::min(m_doc.GetChannelCount(), kDocumentSlots))
        m_readouts[kSampleRate]->setText(Trimmed("%6.0f", m_doc.Channel(channel).rate));
    m_readouts[kWindowLength]->setText(Trimmed("%6.0f", d[0]));
    m_readouts[kStepSize]->setText(Trimmed("%6.0f", d[1]));
    m_readouts[kDeviation]->setText(Trimmed("%6.0f", d[5]));
    m_readouts[kThreshold]->setText(Trimmed("%6.0f", d[4]));
    PlacePane();
}

void CPitchView::ShowCursorValues(double time, double pitch, double duration, double intensity) {
    if (time != -1.0)
        m_readouts[kTime]->setText(Trimmed("%20.1f", time));
    if (duration != -1.0)
        m_readouts[kDuration]->setText(Trimmed("%20.1f", duration));
    if (pitch != -1.0)
        m_readouts[kPitch]->setText(Trimmed("%5.1f", pitch));
    if (intensity != -1.0)
        m_readouts[kIntensity]->setText(Trimmed("%20.1f", intensity));
}

void CPitchView::OnActivateView() {
    if (!m_detached)
        m_doc.pitchView = this;
}

QString CPitchView::ReadoutText(int readout) const {
    return readout >= 0 && readout < kReadoutCount ? m_readouts[readout]->text() : QString();
}

void CPitchView::PlacePane() {
    std::array<ReadoutPair, kReadoutCount> pairs;
    for (int i = 0; i < kReadoutCount; ++i)
        pairs[static_cast<std::size_t>(i)] = {m_captions[i], m_readouts[i], QString()};
    // The cursor read-outs keep one width: the header does not move under
    // the pointer.
    for (int i : {kTime, kDuration, kIntensity})
        pairs[static_cast<std::size_t>(i)].widest = QStringLiteral("0000000.0");
    pairs[kPitch].widest = QStringLiteral("000.0");
    const int headerHeight = FlowReadouts(pairs, 6, 3, std::max(width() - 12, 0)) + 2;
    m_header->setGeometry(0, 0, width(), headerHeight);
    if (!m_pane)
        return;
    const int top = headerHeight + 5;
    m_pane->setGeometry(5, top, std::max(width() - 10, 0), std::max(height() - 5 - top, 0));
}

void CPitchView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlacePane();
}

void CPitchView::wheelEvent(QWheelEvent* event) {
    // The wheel scrolls the pane wherever it turns over the view.
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (m_pane && delta != 0)
        m_pane->OnHScroll(delta > 0 ? PaneScrollCode::LineRight : PaneScrollCode::LineLeft);
    event->accept();
}

}  // namespace vocomet
