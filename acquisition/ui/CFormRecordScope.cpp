#include "acquisition/ui/CFormRecordScope.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "acquisition/CUSBHardware.h"
#include "widgets/CButtonST.h"
#include "widgets/DrawingRoutines.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "dsp/CMathFunc.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

namespace {

constexpr int kRates[3] = {44100, 22050, 11025};
// The spectrum levels a column is resampled to at most (one per pixel row).
constexpr int kMaxSpectrumPoints = 2048;
constexpr QRgb kRed = qRgb(255, 0, 0);

int RateIndex(int rate) { return rate == 11025 ? 2 : rate == 44100 ? 0 : 1; }

std::int32_t Word(const std::vector<std::uint8_t>& block, std::size_t frame, int word) {
    return static_cast<std::int32_t>(platform::GetU32LE(&block[8 * frame + 4 * static_cast<std::size_t>(word)]));
}

}  // namespace

// The worker's side: the newest block into the slot, one redraw queued.
class CFormRecordScope::Client final : public UsbThreadClient {
public:
    explicit Client(CFormRecordScope& form) : m_form(form) {}

    void OnSampleBlock(const std::uint8_t* block, std::size_t bytes, std::int64_t recorded) override {
        bool queue = false;
        {
            std::lock_guard<std::mutex> lock(m_form.m_slotMutex);
            m_form.m_slot.assign(block, block + bytes);
            m_form.m_slotRecorded = recorded;
            queue = !m_form.m_slotFull;
            m_form.m_slotFull = true;
        }
        if (queue)
            QMetaObject::invokeMethod(&m_form, [f = &m_form] { f->DrawBlock(); }, Qt::QueuedConnection);
    }
    void OnDeviceMessage(const std::string& text, bool beep) override {
        QMetaObject::invokeMethod(
            &m_form,
            [f = &m_form, text, beep] {
                if (beep)
                    f->m_prompts.Beep();
                f->m_prompts.Message(text, platform::Buttons::Ok, platform::Icon::None);
            },
            Qt::QueuedConnection);
    }

private:
    CFormRecordScope& m_form;
};

CFormRecordScope::CFormRecordScope(COrielDoc& doc, std::shared_ptr<platform::File> recordingFile, CUSBThread* worker,
                                   QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompts(doc.Prompts()), m_file(std::move(recordingFile)), m_worker(worker) {
    setObjectName(QStringLiteral("recordScopeForm"));
    setAutoFillBackground(true);
    m_client = std::make_unique<Client>(*this);
    if (m_worker)
        m_cookie = m_worker->RegisterClient(m_client.get());
    m_startTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, [this] { StartSampling(); });
    BuildControls();
}

CFormRecordScope::~CFormRecordScope() {
    m_startTimer.stop();
    if (m_worker) {
        StopWorker();
        m_worker->UnregisterClient(m_cookie);
    }
    if (m_file && !m_fileTaken && m_file->IsOpen()) {
        // A recording the user did not keep is not left behind.
        const std::string path = m_file->GetFilePath();
        m_file->Close();
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove(path, ignored);
    }
}

int& CFormRecordScope::Setting(int index) { return m_doc.App().settings.recordingForm[static_cast<std::size_t>(index)]; }

int CFormRecordScope::SampleRate() const {
    const int r = m_doc.App().settings.recordingForm[kFormAudioBoxRate];
    return r == 11025 || r == 44100 ? r : 22050;
}

int CFormRecordScope::ChannelCount() const {
    return m_doc.App().settings.recordingForm[kFormAudioBoxChannels] == 2 ? 2 : 1;
}

bool CFormRecordScope::HasRecordingFile() const {
    return m_file && m_file->IsOpen() && !m_file->GetFilePath().empty();
}

QString CFormRecordScope::RecordTimeText() const { return m_recordTime ? m_recordTime->text() : QString(); }

void CFormRecordScope::StopWorker() {
    if (!m_worker)
        return;
    m_worker->recordingFlag.store(0);
    m_worker->StopRun();
}

// ---- controls ---------------------------------------------------------------

void CFormRecordScope::BuildControls() {
    const auto combo = [this](const char* caption, int x, int y, int w, const QStringList& items) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setGeometry(x, y, w, 16);
        auto* c = new QComboBox(this);
        c->setGeometry(x, y + 16, w, 24);
        c->addItems(items);
        return c;
    };
    rateCombo = combo("Sample Rate", 5, 4, 90, {"44100", "22050", "11025"});
    modeCombo = combo("Mode", 100, 4, 75, {"Mono", "Stereo"});
    sourceCombo = combo("Source", 180, 4, 65, {"Mic", "Line"});
    QStringList gains;
    for (const GainRow& g : kGainTable)
        gains << QString::number(g.gain);
    gainCombo = combo("Gain", 250, 4, 65, gains);
    phantomCombo = combo("Phan. Pwr", 320, 4, 70, {"No", "Yes"});
    balanceCombo = combo("Bal/Unbal.", 395, 4, 100, {"Balanced", "UnBalanced"});
    fftCombo = combo("FFT (pts)= ", 5, 50, 90, {"64", "128", "256", "512", "1024"});
    QStringList ranges;
    for (int r = 30; r <= 100; r += 10)
        ranges << QString::number(r);
    rangeCombo = combo("Dyna. Range(dB) = ", 100, 50, 120, ranges);
    frequencyCombo = combo("Freq. Range (Hz)", 225, 50, 90, {});

    auto* display = new QLabel(QStringLiteral("Display"), this);
    display->setGeometry(500, 4, 80, 16);
    m_displayGroup = new QButtonGroup(this);
    const char* displayNames[2] = {"Absolute", "Relative"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(displayNames[i]), this);
        r->setGeometry(500, 20 + 20 * i, 85, 20);
        m_displayGroup->addButton(r, i);
    }
    auto* talk = new QLabel(QStringLiteral("TalkThru"), this);
    talk->setGeometry(590, 4, 80, 16);
    m_talkGroup = new QButtonGroup(this);
    const char* talkNames[2] = {"Yes", "No"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(talkNames[i]), this);
        r->setGeometry(590, 20 + 20 * i, 60, 20);
        m_talkGroup->addButton(r, i);
    }
    auto* out = new QLabel(QStringLiteral("Out"), this);
    out->setGeometry(325, 70, 25, 20);
    auto* left = new QToolButton(this);
    left->setArrowType(Qt::LeftArrow);
    left->setGeometry(350, 70, 20, 20);
    auto* right = new QToolButton(this);
    right->setArrowType(Qt::RightArrow);
    right->setGeometry(370, 70, 20, 20);
    auto* in = new QLabel(QStringLiteral("In"), this);
    in->setGeometry(394, 70, 20, 20);
    connect(left, &QToolButton::clicked, this, [this] { OnZoom(-1); });
    connect(right, &QToolButton::clicked, this, [this] { OnZoom(1); });

    auto* caption = new QLabel(QStringLiteral("Record time"), this);
    caption->setGeometry(395, 100, 90, 15);
    m_recordTime = new QLabel(this);
    m_recordTime->setObjectName(QStringLiteral("recordTime"));
    m_recordTime->setGeometry(395, 120, 90, 35);
    QFont big = m_recordTime->font();
    big.setPixelSize(22);
    m_recordTime->setFont(big);
    QPalette pal = m_recordTime->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    m_recordTime->setPalette(pal);

    m_leftCaption = new QLabel(QStringLiteral("Left"), this);
    m_rightCaption = new QLabel(QStringLiteral("Right"), this);
    m_fftCaption = new QLabel(QStringLiteral("FFT Left Channel"), this);

    connect(rateCombo, &QComboBox::activated, this, [this](int i) { OnRateChanged(i); });
    connect(modeCombo, &QComboBox::activated, this, [this](int i) { OnModeChanged(i); });
    connect(sourceCombo, &QComboBox::activated, this, [this](int i) { OnSourceChanged(i); });
    connect(gainCombo, &QComboBox::activated, this, [this](int i) { OnGainChanged(i); });
    connect(phantomCombo, &QComboBox::activated, this, [this](int i) { OnPhantomChanged(i); });
    connect(balanceCombo, &QComboBox::activated, this, [this](int i) { OnBalanceChanged(i); });
    connect(fftCombo, &QComboBox::activated, this, [this](int i) { OnFftChanged(i); });
    connect(frequencyCombo, &QComboBox::activated, this, [this](int i) { OnFrequencyChanged(i); });
    connect(rangeCombo, &QComboBox::activated, this, [this](int i) { OnRangeChanged(i); });
    connect(m_displayGroup, &QButtonGroup::idClicked, this,
            [this](int id) { Setting(kFormScopeDisplayMode) = id; });
    connect(m_talkGroup, &QButtonGroup::idClicked, this, [this](int id) {
        Setting(kFormTalkThrough) = id;
        SendDspSetup();
    });
}

void CFormRecordScope::FillFrequencyCombo() {
    frequencyCombo->clear();
    const int entries = SampleRate() / 2000;
    for (int i = 1; i <= entries; ++i)
        frequencyCombo->addItem(QString::number(i * 1000));
    frequencyCombo->setCurrentIndex(std::clamp(m_frequencyRange / 1000 - 1, 0, std::max(0, entries - 1)));
}

void CFormRecordScope::ApplySourceToControls() {
    const bool mic = Setting(kFormInputSourceIndex) == 0;
    balanceCombo->setEnabled(mic);
    phantomCombo->setEnabled(mic);
    gainCombo->setEnabled(mic);
    if (mic) {
        Setting(kFormBalance) = m_micBalance;
        Setting(kFormPhantomPower) = m_micPhantom;
        const int g = std::clamp(Setting(kFormGainIndex), 0, 9);
        m_gainValue = kGainTable[static_cast<std::size_t>(g)].gain;
        m_gainCode = kGainTable[static_cast<std::size_t>(g)].code;
        gainCombo->setCurrentIndex(g);
    } else {
        // The line input: unbalanced, no phantom power, gain 20.
        Setting(kFormBalance) = 1;
        Setting(kFormPhantomPower) = 0;
        m_gainValue = 20;
        m_gainCode = 20 * 3 / 10;
        gainCombo->setEditable(true);
        gainCombo->setEditText(QStringLiteral("20"));
    }
    if (mic)
        gainCombo->setEditable(false);
    Setting(kFormGainValue) = m_gainValue;
    balanceCombo->setCurrentIndex(Setting(kFormBalance));
    phantomCombo->setCurrentIndex(Setting(kFormPhantomPower));
}

bool CFormRecordScope::OnInitialUpdate() {
    m_updating = true;
    const int rate = SampleRate();
    Setting(kFormAudioBoxRate) = rate;
    rateCombo->setCurrentIndex(RateIndex(rate));
    m_micBalance = Setting(kFormBalance) == 0 ? 0 : 1;
    m_micPhantom = Setting(kFormPhantomPower) == 1 ? 1 : 0;
    m_dynamicRange = std::clamp(Setting(kFormScopeRangeDb) / 10 * 10, 30, 100);
    m_frequencyRange = std::clamp(Setting(kFormScopeValue), 1000, rate / 2);
    Setting(kFormScopeValue) = m_frequencyRange;
    m_gridStep = m_frequencyRange <= 6000 ? 1000 : 2000;
    m_runningMax = -1e20;

    const int g = std::clamp(Setting(kFormGainIndex), 0, 9);
    Setting(kFormGainIndex) = g;
    gainCombo->setCurrentIndex(g);
    sourceCombo->setCurrentIndex(Setting(kFormInputSourceIndex) == 1 ? 1 : 0);
    Setting(kFormInputSourceIndex) = sourceCombo->currentIndex();
    modeCombo->setCurrentIndex(ChannelCount() - 1);
    int fft = Setting(kFormScopeFftPoints);
    int fftIndex = 0;
    while (fftIndex < 4 && (64 << fftIndex) < fft)
        ++fftIndex;
    Setting(kFormScopeFftPoints) = 64 << fftIndex;
    fftCombo->setCurrentIndex(fftIndex);
    rangeCombo->setCurrentIndex((m_dynamicRange - 30) / 10);
    FillFrequencyCombo();
    if (QAbstractButton* b = m_displayGroup->button(Setting(kFormScopeDisplayMode) == 0 ? 0 : 1))
        b->setChecked(true);
    if (QAbstractButton* b = m_talkGroup->button(Setting(kFormTalkThrough) == 1 ? 1 : 0))
        b->setChecked(true);
    ApplySourceToControls();
    m_updating = false;

    SendLocalSetup();
    SendDspSetup();

    // The six buttons in one row.
    struct ButtonPlace {
        const char* text;
        int x;
        const char* tip;
    };
    const ButtonPlace places[6] = {{"Freeze", 5, "Feeze the recording"},   {"Pause", 60, "Pause the recording"},
                                   {"Record", 135, "Start Recording"},     {"Stop", 190, "Stop Recording"},
                                   {"Save", 265, "Save the recorded file"}, {"Cancel", 320, "Cancel the recording"}};
    for (int i = 0; i < 6; ++i) {
        auto* b = new CButtonST(QString::fromLatin1(places[i].text), this);
        b->PreSubclassWindow(false, true);
        b->setGeometry(places[i].x, 120, 50, 35);
        b->SetAlign(1);
        b->SetStaticEdge(true);
        b->SetFontHeight(10);
        b->SetColor(0, platform::Rgb(0, 255, 255));
        if (i == kFreeze)
            b->SetNormalTextColor(platform::Rgb(0, 0, 255));
        b->SetTooltipText(QString::fromLatin1(places[i].tip));
        b->show();
        buttons[static_cast<std::size_t>(i)] = b;
    }
    buttons[kSave]->setEnabled(false);
    connect(buttons[kFreeze], &QPushButton::clicked, this, [this] { OnFreeze(); });
    connect(buttons[kPause], &QPushButton::clicked, this, [this] { OnPause(); });
    connect(buttons[kRecord], &QPushButton::clicked, this, [this] { OnRecord(); });
    connect(buttons[kStop], &QPushButton::clicked, this, [this] { OnStop(); });
    connect(buttons[kSave], &QPushButton::clicked, this, [this] { OnSave(); });
    connect(buttons[kCancel], &QPushButton::clicked, this, [this] { OnCancel(); });

    LayoutPanes();
    try {
        m_block.assign(2 * kSampleBlockBytes, 0);
    } catch (const std::bad_alloc&) {
        m_prompts.Message(kRecordingBufferError, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    m_drawnBlocks = 0;
    m_recordTime->setText(QString());
    m_startTimer.start(200);
    return true;
}

void CFormRecordScope::SendLocalSetup() {
    CUSBHardware hw;
    PromptsDeviceReport report(m_prompts);
    hw.SetReport(&report);
    try {
        hw.SetupLocal(22, m_gainCode, Setting(kFormInputSourceIndex), Setting(kFormPhantomPower),
                      Setting(kFormBalance));
    } catch (const platform::UserException&) {
        // Shown; the form goes on.
    }
}

void CFormRecordScope::SendDspSetup() {
    CUSBHardware hw;
    hw.SetupDsp(m_prompts, ChannelCount(), 0x1000, 0x2000, Setting(kFormScopeFftPoints), Setting(kFormPlayAttenuation),
                SampleRate(), Setting(kFormDspSetupValue), Setting(kFormTalkThrough));
}

// ---- sampling and drawing ------------------------------------------------------

void CFormRecordScope::StartSampling() {
    recording = paused = frozen = hasRecorded = 0;
    m_drawnBlocks = 0;
    LayoutPanes();
    if (m_worker) {
        m_worker->channelCount.store(ChannelCount());
        m_worker->recordingFlag.store(0);
        m_worker->RequestSample({HasRecordingFile() ? m_file : nullptr, ChannelCount(), m_cookie});
    }
    update();
}

void CFormRecordScope::LayoutPanes() {
    const int w = width();
    const int h = height();
    m_scrollRect = QRect(40, 170, std::max(1, w - 240), std::max(1, h - 190));
    m_spectrumRect = QRect(w - 175, 170, 175, std::max(1, h - 190));
    m_pixelsPerBlock = std::max(1, m_scrollRect.width() / std::max(1, m_blocksAcross));
    m_newDataX = m_scrollRect.width() - m_pixelsPerBlock;
    m_paneSpanMs = m_blocksAcross * std::trunc(1024.0 / SampleRate() * 1000.0);

    m_scrollImage = QImage(m_scrollRect.size(), QImage::Format_RGB32);
    m_scrollImage.fill(Qt::white);
    m_spectrumImage = QImage(m_spectrumRect.size(), QImage::Format_RGB32);
    m_spectrumImage.fill(Qt::white);

    // Overlays: white with the frames and level lines, combined with AND.
    m_scrollOverlay = QImage(m_scrollRect.size(), QImage::Format_RGB32);
    m_scrollOverlay.fill(Qt::white);
    {
        QPainter p(&m_scrollOverlay);
        p.setPen(Qt::black);
        p.drawRect(0, 0, m_scrollRect.width() - 1, m_scrollRect.height() - 1);
        p.drawLine(0, 102, m_scrollRect.width(), 102);
    }
    m_spectrumOverlay = QImage(m_spectrumRect.size(), QImage::Format_RGB32);
    m_spectrumOverlay.fill(Qt::white);
    {
        QPainter p(&m_spectrumOverlay);
        p.setPen(Qt::black);
        p.drawRect(0, 0, m_spectrumRect.width() - 1, m_spectrumRect.height() - 1);
        p.setPen(QPen(QColor(170, 170, 170), 1, Qt::DashLine));
        const int ph = m_spectrumRect.height();
        for (int i = 1; i <= m_dynamicRange / 10; ++i) {
            const int y = static_cast<int>(i * 10.0 * ph / m_dynamicRange);
            if (y < ph - 10)
                p.drawLine(0, y, m_spectrumRect.width(), y);
        }
    }
    const bool two = ChannelCount() == 2;
    m_leftCaption->setGeometry(5, 170 + (two ? 15 : 40), 34, 16);
    m_rightCaption->setGeometry(5, 170 + 67, 34, 16);
    m_rightCaption->setVisible(two);
    m_fftCaption->setGeometry(m_spectrumRect.left(), 152, 170, 16);
    laidOut = 1;
    update();
}

void CFormRecordScope::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (laidOut)
        LayoutPanes();
}

void CFormRecordScope::TakeNewestBlock() {
    std::lock_guard<std::mutex> lock(m_slotMutex);
    if (m_slot.size() >= kSampleBlockBytes)
        std::copy(m_slot.begin(), m_slot.begin() + kSampleBlockBytes, m_block.begin());
    m_recordedBlocks = m_slotRecorded;
    m_slotFull = false;
}

void CFormRecordScope::DrawBlock() {
    TakeNewestBlock();
    // The record time follows what the worker wrote, however many blocks
    // reached the screen.
    const int rate = SampleRate();
    const auto seconds = static_cast<long long>(1024.0 / rate * static_cast<double>(m_recordedBlocks));
    char text[48];
    if (seconds < 3600)
        std::snprintf(text, sizeof text, " %lld:%lld", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, " %lld:%lld:%lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    if (recording && !paused && !frozen) {
        m_recordTime->setText(QString::fromLatin1(text).trimmed());
        if (onRecordingBlock && m_block.size() >= kSampleBlockBytes)
            onRecordingBlock(m_block, m_recordedBlocks, rate);
    }
    if (!laidOut || frozen || m_block.size() < kSampleBlockBytes)
        return;
    ++m_drawnBlocks;

    const int pw = m_scrollRect.width();
    const int ph = m_scrollRect.height();
    const int ppb = m_pixelsPerBlock;
    const int nx = m_newDataX;
    // Scroll left by one block, clear the freed strip.
    m_scrollImage = m_scrollImage.copy(ppb, 0, pw, ph);
    QPainter p(&m_scrollImage);
    p.fillRect(nx, 0, pw - nx, ph, Qt::white);

    // Waveforms: one strip 0..100, or two of 0..48 and 52..100.
    const bool two = ChannelCount() == 2;
    struct Strip {
        int top, bottom, word;
    };
    std::vector<Strip> strips;
    if (two)
        strips = {{0, 48, 1}, {52, 100, 0}};
    else
        strips = {{0, 100, 1}};
    for (const Strip& s : strips) {
        const int a = (s.bottom - s.top) / 2;
        const int middle = s.top + a;
        const double scale = a / kAudioBoxFullScale;
        QPoint last(nx, middle);
        for (std::size_t k = 0; k < 1023; ++k) {
            const int x = nx + static_cast<int>(static_cast<double>(k) * ppb / 1024.0);
            const double v = Word(m_block, k, s.word) * scale;
            if (std::abs(v) > a - 3) {
                p.setPen(Qt::red);
                p.drawLine(last, QPoint(x, s.top));
                p.drawLine(QPoint(x, s.top), QPoint(x, s.bottom));
                last = QPoint(x, s.bottom);
            } else {
                p.setPen(Qt::black);
                const QPoint to(x, middle - static_cast<int>(v));
                p.drawLine(last, to);
                last = to;
            }
        }
    }

    // Spectrogram from the DSP's spectra, and the newest spectrum.
    const int fft = Setting(kFormScopeFftPoints);
    const int stripTop = 105;
    const int stripHeight = std::max(1, ph - stripTop);
    const int n = std::clamp(ph, 1, kMaxSpectrumPoints);
    const int columns = std::max(1, ppb);
    const double perColumn = (1024.0 / fft) / columns;
    const int spectra = std::max(1, 1024 / fft);
    CMathFunc math;
    std::vector<double> half(static_cast<std::size_t>(fft / 2));
    std::vector<double> levels;
    const bool relative = Setting(kFormScopeDisplayMode) == 1;
    for (int j = 0; j < columns; ++j) {
        const int k = std::min(static_cast<int>(j * perColumn), spectra - 1);
        const std::size_t at = 8192 + 2 * static_cast<std::size_t>(fft) * static_cast<std::size_t>(k);
        for (std::size_t b = 0; b < half.size(); ++b)
            half[b] = platform::GetF32LE(&m_block[at + 4 * b]);
        levels = math.ResampleSpectrum(half.data(), fft, n, m_frequencyRange, rate);
        if (levels.empty())
            continue;
        double m = -1e12;
        for (double v : levels)
            m = std::max(m, v);
        double top = m;
        if (relative) {
            m_runningMax = std::max(m_runningMax, m);
            top = m_runningMax;
        }
        for (double& v : levels)
            v = std::max(0.0, v - top + m_dynamicRange);
        for (int r = 0; r < n; ++r) {
            const int y = stripTop + stripHeight - 1 - static_cast<int>(static_cast<double>(r) * stripHeight / n);
            const int grey =
                std::clamp(static_cast<int>(255.0 - levels[static_cast<std::size_t>(r)] * 255.0 / m_dynamicRange), 0, 255);
            if (y >= stripTop && y < ph && nx + j < pw) {
                p.setPen(QColor(grey, grey, grey));
                p.drawPoint(nx + j, y);
            }
        }
    }
    p.end();

    m_spectrumImage.fill(Qt::white);
    if (!levels.empty()) {
        QPainter s(&m_spectrumImage);
        SpectrumPanel panel;
        panel.levels = levels;
        panel.count = static_cast<int>(levels.size());
        panel.rect = QRect(0, 0, m_spectrumRect.width() - 1, m_spectrumRect.height() - 1);
        panel.maxLevel = m_dynamicRange;
        panel.minLevel = 0.0;
        panel.curve1On = true;
        DrawSpectrumPanel(s, panel, font());
    }
    update(m_scrollRect.united(m_spectrumRect));
}

void CFormRecordScope::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!laidOut)
        return;
    const auto composed = [](const QImage& image, const QImage& overlay) {
        QImage out = image;
        QPainter q(&out);
        q.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        q.drawImage(0, 0, overlay);
        return out;
    };
    p.drawImage(m_scrollRect.topLeft(), composed(m_scrollImage, m_scrollOverlay));
    // The state line stands still over the scrolling pane.
    const char* state = nullptr;
    if (recording && paused)
        state = "                          Recording is paused... Press Pause or Record to resume Recording";
    else if (!recording)
        state = "                          Scope Mode... Press Record to Start Recording";
    if (state) {
        p.setPen(QColor(kRed));
        p.drawText(m_scrollRect.left(), m_scrollRect.top() + 5 + fontMetrics().ascent(), QString::fromLatin1(state));
    }
    p.drawImage(m_spectrumRect.topLeft(), composed(m_spectrumImage, m_spectrumOverlay));
    // The frequency axis of the spectrogram, and of the spectrum below it;
    // the spectrum's levels at the left of its pane.
    const QRect spectrogram(m_scrollRect.left(), m_scrollRect.top() + 105, m_scrollRect.width(),
                            std::max(1, m_scrollRect.height() - 105));
    DrawValueAxis(p, spectrogram, 0, m_frequencyRange, m_gridStep, kValueAxisLeft, QStringLiteral("Hz"), false,
                  font());
    DrawValueAxis(p, m_spectrumRect, 0, m_frequencyRange, m_gridStep * 2, kValueAxisBottom, QString(), false,
                  font());
    p.setPen(Qt::black);
    const int dy = fontMetrics().height() / 3;
    const int ph = m_spectrumRect.height();
    for (int i = 1; i <= m_dynamicRange / 10; ++i) {
        const int y = static_cast<int>(i * 10.0 * ph / m_dynamicRange);
        if (y >= ph - 10)
            continue;
        const QString label = QStringLiteral("-%1").arg(i * 10);
        p.drawText(m_spectrumRect.left() - fontMetrics().horizontalAdvance(QStringLiteral("999")) - 2,
                   m_spectrumRect.top() + y + dy, label);
    }
    p.drawText(m_spectrumRect.left() - fontMetrics().horizontalAdvance(QStringLiteral("999")) - 2,
               m_spectrumRect.top() + fontMetrics().ascent(), QStringLiteral("dB"));
}

// ---- buttons ----------------------------------------------------------------------

void CFormRecordScope::Release(std::initializer_list<int> which) {
    for (int i : which)
        buttons[static_cast<std::size_t>(i)]->SetCheck(0);
}

void CFormRecordScope::OnRecord() {
    Release({kFreeze, kPause, kStop, kSave, kCancel});
    buttons[kRecord]->SetCheck(1);
    buttons[kSave]->setEnabled(true);
    recording = 1;
    if (HasRecordingFile()) {
        if (m_worker)
            m_worker->recordingFlag.store(1);
        paused = frozen = 0;
        hasRecorded = 1;
    }
}

void CFormRecordScope::OnStop() {
    Release({kFreeze, kPause, kRecord, kSave, kCancel});
    if (HasRecordingFile()) {
        if (m_worker)
            m_worker->recordingFlag.store(0);
        recording = paused = frozen = 0;
    }
}

void CFormRecordScope::OnPause() {
    Release({kFreeze, kStop, kSave, kCancel});
    frozen = 0;
    if (!m_worker)
        return;
    if (buttons[kPause]->GetCheck()) {
        m_worker->recordingFlag.store(0);
        paused = 1;
        buttons[kRecord]->SetCheck(0);
    } else {
        m_worker->recordingFlag.store(recording);
        paused = 0;
        buttons[kRecord]->SetCheck(recording);
    }
}

void CFormRecordScope::OnFreeze() {
    Release({kPause, kStop, kSave, kCancel});
    paused = 0;
    if (!m_worker)
        return;
    if (buttons[kFreeze]->GetCheck()) {
        m_worker->recordingFlag.store(0);
        frozen = 1;
        buttons[kRecord]->SetCheck(0);
    } else {
        m_worker->recordingFlag.store(recording);
        frozen = 0;
        buttons[kRecord]->SetCheck(recording);
    }
}

bool CFormRecordScope::LoadRecording(bool withIntensity) {
    // The file is read only after the worker has stopped writing it.
    for (int c = 0; c < 2; ++c)
        m_doc.Channel(c).rate = SampleRate();
    if (m_doc.LoadInterleavedRecording(*m_file, ChannelCount()) == 0) {
        m_prompts.Beep();
        m_prompts.Message(kRecordScopeSaveError, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    m_fileTaken = true;
    for (int c = 0; c < std::min(2, m_doc.GetChannelCount()); ++c) {
        m_doc.Channel(c).gain = m_gainValue;
        m_doc.Channel(c).bits = 24;
    }
    if (withIntensity)
        for (int c = 0; c < m_doc.GetChannelCount(); ++c)
            if (m_doc.Channel(c).drawIntensity)
                m_doc.Channel(c).ComputeIntensity();
    if (onRecordingLoaded)
        onRecordingLoaded();
    return true;
}

void CFormRecordScope::OnSave() {
    Release({kFreeze, kPause, kRecord, kStop, kCancel});
    StopWorker();
    if (HasRecordingFile() && !LoadRecording(true))
        return;  // the window stays with its recording
    recording = paused = frozen = hasRecorded = 0;
    if (closeFrame)
        closeFrame();
}

void CFormRecordScope::OnCancel() {
    Release({kFreeze, kPause, kRecord, kStop, kSave});
    if (QuerySaveAndClose() && closeFrame)
        closeFrame();
}

bool CFormRecordScope::QuerySaveAndClose() {
    StopWorker();
    if (HasRecordingFile() && hasRecorded && !m_fileTaken) {
        m_prompts.Beep();
        const platform::Answer a =
            m_prompts.Message(kSaveRecordedFileQuestion, platform::Buttons::YesNoCancel, platform::Icon::Question);
        if (a == platform::Answer::Cancel)
            return false;
        if (a == platform::Answer::Yes && !LoadRecording(false))
            return false;
    }
    recording = paused = frozen = hasRecorded = 0;
    return true;
}

void CFormRecordScope::OnZoom(int step) {
    if (step < 0) {
        m_blocksAcross = std::max(1, m_blocksAcross / 2);
    } else if (step > 0) {
        if (m_scrollRect.width() / (m_blocksAcross * 2) >= 1)
            m_blocksAcross *= 2;
    }
    LayoutPanes();
}

// ---- settings ------------------------------------------------------------------------

void CFormRecordScope::OnRateChanged(int index) {
    if (hasRecorded) {
        m_prompts.Beep();
        m_prompts.Message(kRateLockedMessage, platform::Buttons::Ok, platform::Icon::Warning);
        rateCombo->setCurrentIndex(RateIndex(SampleRate()));
        return;
    }
    const int rate = kRates[std::clamp(index, 0, 2)];
    Setting(kFormAudioBoxRate) = rate;
    m_gridStep = rate == 44100 ? 2000 : 1000;
    m_frequencyRange = std::min(m_frequencyRange, rate / 2);
    Setting(kFormScopeValue) = m_frequencyRange;
    FillFrequencyCombo();
    SendLocalSetup();
    SendDspSetup();
    LayoutPanes();
}

void CFormRecordScope::OnModeChanged(int index) {
    if (hasRecorded) {
        m_prompts.Beep();
        m_prompts.Message(kModeLockedMessage, platform::Buttons::Ok, platform::Icon::Warning);
        modeCombo->setCurrentIndex(ChannelCount() - 1);
        return;
    }
    Setting(kFormAudioBoxChannels) = std::clamp(index, 0, 1) + 1;
    if (m_worker)
        m_worker->channelCount.store(ChannelCount());
    LayoutPanes();
}

void CFormRecordScope::OnSourceChanged(int index) {
    Setting(kFormInputSourceIndex) = index == 1 ? 1 : 0;
    ApplySourceToControls();
    SendLocalSetup();
    LayoutPanes();
}

void CFormRecordScope::OnGainChanged(int index) {
    if (Setting(kFormInputSourceIndex) != 0)
        return;
    const int g = std::clamp(index, 0, 9);
    Setting(kFormGainIndex) = g;
    m_gainValue = kGainTable[static_cast<std::size_t>(g)].gain;
    m_gainCode = kGainTable[static_cast<std::size_t>(g)].code;
    Setting(kFormGainValue) = m_gainValue;
    SendLocalSetup();
    LayoutPanes();
}

void CFormRecordScope::OnPhantomChanged(int index) {
    Setting(kFormPhantomPower) = m_micPhantom = index == 1 ? 1 : 0;
    SendLocalSetup();
    LayoutPanes();
}

void CFormRecordScope::OnBalanceChanged(int index) {
    Setting(kFormBalance) = m_micBalance = index == 1 ? 1 : 0;
    // A change of balance starts again from gain 30.
    Setting(kFormGainIndex) = 1;
    m_gainValue = kGainTable[1].gain;
    m_gainCode = kGainTable[1].code;
    Setting(kFormGainValue) = m_gainValue;
    gainCombo->setCurrentIndex(1);
    SendLocalSetup();
    LayoutPanes();
}

void CFormRecordScope::OnFftChanged(int index) {
    Setting(kFormScopeFftPoints) = 64 << std::clamp(index, 0, 4);
    SendDspSetup();
    LayoutPanes();
}

void CFormRecordScope::OnFrequencyChanged(int index) {
    m_frequencyRange = (index + 1) * 1000;
    Setting(kFormScopeValue) = m_frequencyRange;
    if (m_frequencyRange <= 6000)
        m_gridStep = 1000;
    LayoutPanes();
}

void CFormRecordScope::OnRangeChanged(int index) {
    m_dynamicRange = 30 + 10 * std::clamp(index, 0, 7);
    Setting(kFormScopeRangeDb) = m_dynamicRange;
    m_runningMax = m_dynamicRange;
    LayoutPanes();
}

}  // namespace vocomet
