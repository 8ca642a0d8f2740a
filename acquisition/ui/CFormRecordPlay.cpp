#include "acquisition/ui/CFormRecordPlay.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/ApplicationState.h"
#include "core/ConfigurationBlock.h"
#include "core/ConfigurationFile.h"

namespace vocomet {

namespace {

// The form's template is laid out in dialog units of an 8-point dialog
// font: 4 horizontal units make 6 pixels, 8 vertical units 13.
QRect Dlu(int x, int y, int w, int h) { return QRect(x * 3 / 2, y * 13 / 8, w * 3 / 2, h * 13 / 8); }

constexpr int kRateItems[] = {11025, 22050, 44100};

int RateOfItem(int index) {
    if (index == 1)
        return 22050;
    if (index == 2)
        return 44100;
    return 11025;
}

}  // namespace

std::array<PlayGainEntry, kPlayGainEntries> MakePlayGainTable() {
    std::array<PlayGainEntry, kPlayGainEntries> table;
    for (int i = 0; i < kPlayGainEntries - 1; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "-%d dB", 3 * i);
        table[static_cast<std::size_t>(i)] = {text, static_cast<int>(1023.0 / std::pow(10.0, 3.0 * i / 20.0))};
    }
    table[kPlayGainEntries - 1] = {"-INF dB", 0};
    return table;
}

CFormRecordPlay::CFormRecordPlay(ApplicationState& app, QWidget* parent)
    : QWidget(parent),
      m_app(app),
      m_sampleRate(new QComboBox(this)),
      m_computer(new QRadioButton(QStringLiteral("Play Thru Computer"), this)),
      m_hardware(new QRadioButton(QStringLiteral("Play Thru Hardware"), this)),
      m_gain(new QComboBox(this)),
      m_caption(new QLabel(QStringLiteral("Record and Play Parameters:"), this)),
      m_gainTable(MakePlayGainTable()),
      m_modeNote(new QLabel(this)),
      m_save(new QPushButton(QStringLiteral("Save and Close"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    m_save->setGeometry(Dlu(127, 1, 82, 14));
    m_cancel->setGeometry(Dlu(7, 1, 50, 14));
    m_caption->setGeometry(Dlu(7, 25, 90, 8));
    m_modeNote->setGeometry(Dlu(7, 17, 202, 8));
    m_gain->setGeometry(Dlu(107, 41, 63, 12));
    m_hardware->setGeometry(Dlu(134, 67, 75, 10));
    m_computer->setGeometry(Dlu(131, 33, 78, 10));
    m_sampleRate->setGeometry(Dlu(112, 65, 66, 12));
    // The template's sizes are those of its own font: no text may be cut.
    for (QWidget* w : {static_cast<QWidget*>(m_save), static_cast<QWidget*>(m_cancel),
                       static_cast<QWidget*>(m_hardware), static_cast<QWidget*>(m_computer)})
        w->resize(std::max(w->width(), w->sizeHint().width()), std::max(w->height(), w->sizeHint().height()));
    for (int rate : kRateItems)
        m_sampleRate->addItem(QString::number(rate));
    // Each radio button is a group of its own: the handlers check one and
    // uncheck the other.
    m_computer->setAutoExclusive(false);
    m_hardware->setAutoExclusive(false);
    m_playRecord.sampleRate = 11025;

    connect(m_save, &QPushButton::clicked, this, [this] { OnSaveAndClose(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnCancelButton(); });
    connect(m_hardware, &QRadioButton::clicked, this, [this] { OnPlayThruHardware(); });
    connect(m_computer, &QRadioButton::clicked, this, [this] { OnPlayThruComputer(); });
    connect(m_gain, &QComboBox::activated, this, [this](int index) { OnSelchangeGain(index); });
    connect(m_sampleRate, &QComboBox::activated, this, [this](int index) { OnSelchangeSampleRate(index); });
    resize(Dlu(0, 0, 216, 84).size());
}

void CFormRecordPlay::LoadSettings() {
    const ChannelSetupArray& setup = m_app.settings.channelSetup;
    const int count = std::clamp(m_app.acquisition.hardwareChannelCount, 0, 16);
    m_channels = {};
    for (int i = 0; i < count; ++i)
        m_channels[static_cast<std::size_t>(i)] = setup[static_cast<std::size_t>(i)];
    m_playRecord = setup[kPlayChannelSetup];
}

void CFormRecordPlay::SetRoute(int route) {
    m_app.acquisition.playRoute = route;
    m_app.settings.recordingForm[kFormPlayRoute] = route;
}

void CFormRecordPlay::CheckRoute() {
    const bool hardware = m_app.acquisition.playRoute != 0;
    m_hardware->setChecked(hardware);
    m_computer->setChecked(!hardware);
}

void CFormRecordPlay::ArrangeForMode() {
    for (QWidget* w : {static_cast<QWidget*>(m_gain), static_cast<QWidget*>(m_hardware),
                       static_cast<QWidget*>(m_computer), static_cast<QWidget*>(m_sampleRate),
                       static_cast<QWidget*>(m_caption)})
        w->hide();
    const AcquisitionState& acquisition = m_app.acquisition;
    if (acquisition.audioBoxPresent) {
        m_caption->setText(QString::fromLatin1(kGainCaption));
        m_caption->adjustSize();
        m_caption->show();
        m_gain->clear();
        for (const PlayGainEntry& e : m_gainTable)
            m_gain->addItem(QString::fromStdString(e.text));
        const QPoint at = Dlu(7, 35, 0, 0).topLeft();
        m_gain->setGeometry(at.x(), at.y(), 150, 20);
        m_gain->show();
        m_gain->setCurrentIndex(
            std::clamp(m_app.settings.recordingForm[kFormRecordPlayGainIndex], 0, kPlayGainEntries - 1));
        CheckRoute();
        m_gain->setEnabled(acquisition.playRoute != 0);
        m_hardware->move(10, 100);
        m_computer->move(10, 120);
        m_hardware->show();
        m_computer->show();
    } else if (acquisition.rendalPresent) {
        m_hardware->move(10, 90);
        m_computer->move(10, 110);
        if (acquisition.hardwareChannelCount == 2) {
            m_modeNote->setText(QString::fromLatin1(kTwoChannelNote));
            m_modeNote->adjustSize();
            m_modeNote->show();
            SetRoute(0);
        } else {
            m_modeNote->hide();
            CheckRoute();
            m_hardware->show();
            m_computer->show();
        }
    } else {
        m_caption->hide();
        m_modeNote->setText(QString::fromLatin1(kSampleRateNote));
        m_modeNote->adjustSize();
        m_modeNote->show();
        m_sampleRate->setGeometry(10, 80, 100, m_sampleRate->sizeHint().height());
        m_sampleRate->show();
        const int rate = m_playRecord.sampleRate;
        m_sampleRate->setCurrentIndex(rate == 22050 ? 1 : rate == 44100 ? 2 : 0);
    }
}

void CFormRecordPlay::ReadSoundCardRate() {
    if (m_app.acquisition.audioBoxPresent || m_app.acquisition.rendalPresent)
        return;
    m_playRecord.sampleRate = RateOfItem(m_sampleRate->currentIndex());
}

void CFormRecordPlay::OnSaveAndClose() {
    ApplicationSettings& settings = m_app.settings;
    settings.channelSetup[kPlayChannelSetup] = m_playRecord;
    if (closeFrame)
        closeFrame();
    const bool audioBox = m_app.acquisition.audioBoxPresent != 0;
    const int route = m_app.acquisition.playRoute;
    const int rate = settings.channelSetup[kPlayChannelSetup].sampleRate;
    const RecordingFormSettings form = settings.recordingForm;
    try {
        PatchConfigurationFile(m_app.ConfigurationFilePath(), [&](ConfigurationBlock& block) {
            const platform::ByteSpan bytes = block.Span();
            if (audioBox) {
                bytes.I32LE(cfg::kRecordingFormAt + 4 * kFormRecordPlayGainIndex, form[kFormRecordPlayGainIndex]);
                bytes.I32LE(cfg::kRecordingFormAt + 4 * kFormRecordPlayValue, form[kFormRecordPlayValue]);
                bytes.I32LE(cfg::kRecordingFormAt + 4 * kFormPlayAttenuation, m_app.acquisition.outputGain);
            }
            bytes.I32LE(cfg::kRecordingFormAt + 4 * kFormPlayRoute, route);
            bytes.I32LE(cfg::kChannelRateAt + 4 * kPlayChannelSetup, rate);
        });
    } catch (const std::exception&) {
        // The settings in memory stay as they are.
    }
}

void CFormRecordPlay::OnCancelButton() {
    ArrangeForMode();
    if (closeFrame)
        closeFrame();
}

void CFormRecordPlay::OnPlayThruHardware() {
    SetRoute(1);
    m_hardware->setChecked(true);
    m_computer->setChecked(false);
    m_gain->setEnabled(true);
}

void CFormRecordPlay::OnPlayThruComputer() {
    SetRoute(0);
    m_computer->setChecked(true);
    m_hardware->setChecked(false);
    m_gain->setEnabled(false);
}

void CFormRecordPlay::OnSelchangeGain(int index) {
    if (index < 0 || index >= kPlayGainEntries)
        return;
    m_app.settings.recordingForm[kFormRecordPlayGainIndex] = index;
    const int value = m_gainTable[static_cast<std::size_t>(index)].value;
    m_app.acquisition.outputGain = value;
    m_app.settings.recordingForm[kFormPlayAttenuation] = value;
}

void CFormRecordPlay::OnSelchangeSampleRate(int index) { m_playRecord.sampleRate = RateOfItem(index); }

}  // namespace vocomet
