#include "acquisition/ui/CFormRecordRendal.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>

#include "acquisition/CUSB2Hardware.h"
#include "widgets/CButtonST.h"
#include "widgets/CLabel.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationFile.h"
#include "core/RendalRecording.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// How many blocks may wait for the display before new ones are dropped.
constexpr std::size_t kDisplayQueueLimit = 8;
constexpr int kStartTimerMs = 200;
constexpr auto kSaveWait = std::chrono::milliseconds(2000);
constexpr auto kCloseWait = std::chrono::milliseconds(2000);
constexpr int kButtonIconSize = 20;

QComboBox* ChoiceBox(const QStringList& items, const QString& current) {
    auto* box = new QComboBox;
    box->addItems(items);
    const int i = box->findText(current);
    box->setCurrentIndex(i < 0 ? 0 : i);
    return box;
}

QString ComboText(const QTableWidget* grid, int row, int column) {
    if (auto* box = qobject_cast<QComboBox*>(grid->cellWidget(row, column)))
        return box->currentText();
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

CFormRecordRendal::CFormRecordRendal(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_app(doc.App()), m_prompts(prompts),
      m_hardware(std::make_unique<CUSB2Hardware>()) {
    setObjectName(QStringLiteral("formRecordRendal"));
    setAutoFillBackground(true);
    m_hardware->SetMessageSink([this](const std::string& t) { ShowWorkerMessage(QString::fromStdString(t)); });

    m_time = new CLabel(this);
    m_time->setObjectName(QStringLiteral("recordTime"));
    m_time->setGeometry(10, 5, 150, 36);

    auto* audio = new QGroupBox(QStringLiteral("Audio"), this);
    audio->setGeometry(10, 45, 165, 95);
    m_mic = new QRadioButton(QStringLiteral("Mic"), audio);
    m_line = new QRadioButton(QStringLiteral("Line"), audio);
    m_mask = new QRadioButton(QStringLiteral("Mask"), audio);
    m_frontPanel = new QRadioButton(QStringLiteral("Front Panel"), audio);
    m_mic->setGeometry(10, 20, 60, 20);
    m_line->setGeometry(10, 42, 60, 20);
    m_mask->setGeometry(80, 20, 100, 20);
    m_frontPanel->setGeometry(80, 42, 100, 20);
    auto* sourceGroup = new QButtonGroup(audio);
    sourceGroup->addButton(m_mic);
    sourceGroup->addButton(m_line);
    auto* inputGroup = new QButtonGroup(audio);
    inputGroup->addButton(m_mask);
    inputGroup->addButton(m_frontPanel);
    auto* gainCaption = new QLabel(QStringLiteral("Gain"), audio);
    gainCaption->setGeometry(10, 66, 40, 22);
    m_gain = new QComboBox(audio);
    m_gain->setGeometry(50, 66, 80, 22);

    auto* zoom = new QGroupBox(QStringLiteral("Zoom"), this);
    zoom->setGeometry(180, 45, 110, 50);
    auto* out = new QLabel(QStringLiteral("Out"), zoom);
    out->setGeometry(8, 20, 30, 20);
    m_zoom = new QSpinBox(zoom);
    m_zoom->setRange(-100000, 100000);
    m_zoom->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_zoom->setGeometry(40, 18, 24, 24);
    m_zoom->setReadOnly(false);
    auto* in = new QLabel(QStringLiteral("In"), zoom);
    in->setGeometry(72, 20, 30, 20);

    m_sourceCaption = new QLabel(QStringLiteral("Source Definition"), this);
    m_sourceCaption->setGeometry(10, 145, 250, 18);
    m_maskHint = new QLabel(QStringLiteral("Mask: For transducer interface connection"), this);
    m_maskHint->setGeometry(10, 163, 300, 18);
    m_bncHint = new QLabel(QStringLiteral("BNC: Connectors on the front panel."), this);
    m_bncHint->setGeometry(10, 181, 300, 18);

    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("channelGrid"));
    m_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grid->move(10, 205);

    connect(m_mic, &QRadioButton::clicked, this, [this] { OnMic(); });
    connect(m_line, &QRadioButton::clicked, this, [this] { OnLine(); });
    connect(m_mask, &QRadioButton::clicked, this, [this] { OnMask(); });
    connect(m_frontPanel, &QRadioButton::clicked, this, [this] { OnFrontPanel(); });
    connect(m_gain, &QComboBox::activated, this, [this] { OnSelchangeGain(); });
    connect(m_zoom, &QSpinBox::valueChanged, this, [this](int v) {
        const int delta = v - m_zoomValue;
        m_zoomValue = v;
        if (delta != 0)
            OnDeltaposZoomSpin(delta);
    });
    connect(m_grid, &QTableWidget::itemChanged, this, [this] {
        if (!m_building)
            OnChannelGridChange();
    });
}

CFormRecordRendal::~CFormRecordRendal() { StopWorker(); }

bool CFormRecordRendal::TwoChannelLayout() const { return m_count == 2 && !m_app.acquisition.audioBoxPresent; }

void CFormRecordRendal::ShowWorkerMessage(const QString& text) {
    // The worker's texts come on its thread; they are shown on this one.
    QPointer<CFormRecordRendal> self(this);
    QMetaObject::invokeMethod(
        qApp,
        [self, text] {
            if (!self)
                return;
            self->m_prompts.Beep();
            self->m_prompts.Message(text.toStdString(), platform::Buttons::Ok, platform::Icon::Warning);
        },
        Qt::QueuedConnection);
}

void CFormRecordRendal::OnInitialUpdate() {
    try {
        m_hardware->ResetHardware();
    } catch (...) {
    }
    m_count = std::clamp(m_app.acquisition.hardwareChannelCount, 1, kChannelSetupCount - 1);
    m_records = m_app.settings.channelSetup;
    m_time->SetTextColor(0x0000FF).SetFontSize(22);
    m_dcBit = 32;
    m_gain->clear();
    for (int g = 100; g <= 800; g += 100)
        m_gain->addItem(QString::number(g));
    m_gainIndex = std::clamp(m_records[0].gain / 100 - 1, 0, 7);
    m_gain->setCurrentIndex(m_gainIndex);
    m_micBit = m_app.settings.inputSource == kInputMic ? 16 : 0;
    m_frontPanelBit = m_records[0].connector == "Mask" ? 0 : 8;
    BuildGrid();
    OnChannelGridChange();
    if (TwoChannelLayout())
        m_grid->resize(m_sourceCaption->width() + 70, m_count * 20 + 5 + m_grid->horizontalHeader()->height());
    else
        m_grid->resize(m_grid->horizontalHeader()->length() + m_grid->verticalHeader()->width() + 8,
                       m_count * 15 + 10 + m_grid->horizontalHeader()->height() + 4 * m_count);
    m_mic->setChecked(m_micBit != 0);
    m_line->setChecked(m_micBit == 0);
    m_mask->setChecked(m_frontPanelBit == 0);
    m_frontPanel->setChecked(m_frontPanelBit != 0);
    m_mask->setEnabled(true);
    m_frontPanel->setEnabled(true);
    m_gain->setEnabled(true);
    // The first word follows the radios, so the device and the form agree.
    SendAudioControl();

    const int x = m_time->geometry().right() + 20;
    const auto makeButton = [this](const QString& text, QStyle::StandardPixmap icon, const QRect& r) {
        auto* b = new CButtonST(text, this);
        b->setGeometry(r);
        // A small image leaves room for the caption under it.
        b->SetIconHandles(QIcon(style()->standardIcon(icon).pixmap(kButtonIconSize, kButtonIconSize)));
        b->SetColor(0, platform::ColorRef(0xF0F0F0));
        b->SetFontHeight(10);
        b->SetStaticEdge(true);
        b->SetAlign(1);
        b->show();
        return b;
    };
    m_recordButton = makeButton(QStringLiteral("Record"), QStyle::SP_MediaPlay, QRect(x, 5, 50, 40));
    m_saveButton = makeButton(QStringLiteral("Save"), QStyle::SP_DialogSaveButton, QRect(x + 75, 5, 50, 40));
    m_cancelButton = makeButton(QString(), QStyle::SP_DialogCancelButton, QRect(x + 130, 5, 50, 40));
    m_recordButton->setObjectName(QStringLiteral("recordButton"));
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_saveButton->setEnabled(false);
    connect(m_recordButton, &QPushButton::clicked, this, [this] { OnRecord(); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { OnSaveRecording(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { OnCancelRecording(); });
    QTimer::singleShot(kStartTimerMs, this, [this] { StartSampling(); });
}

void CFormRecordRendal::BuildGrid() {
    m_building = true;
    const bool two = TwoChannelLayout();
    const int rows = m_count - 1;
    m_grid->clear();
    m_grid->setColumnCount(5);
    m_grid->setRowCount(rows);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("On"), two ? QStringLiteral("AD/DC") : QStringLiteral("Rate"),
                                       QStringLiteral("Filter"), QStringLiteral("Source"), QStringLiteral("Gain")});
    const QStringList filters{"8000", "4000", "1000", "300", "150", "40", "10", "2"};
    const QStringList gains{"1", "2", "4", "6", "8", "10", "15", "20"};
    for (int r = 0; r < rows; ++r) {
        const ChannelSetup& rec = m_records[static_cast<std::size_t>(r + 1)];
        m_grid->setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r + 1)));
        auto* on = new QTableWidgetItem;
        on->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        on->setCheckState(two || rec.enabled ? Qt::Checked : Qt::Unchecked);
        m_grid->setItem(r, 0, on);
        if (two) {
            auto* box = ChoiceBox({"AC", "DC"}, "DC");
            m_grid->setCellWidget(r, 1, box);
            connect(box, &QComboBox::currentIndexChanged, this, [this] { OnChannelGridChange(); });
        } else {
            auto* rate = new QTableWidgetItem(QStringLiteral("22050"));
            rate->setFlags(Qt::ItemIsEnabled);
            m_grid->setItem(r, 1, rate);
        }
        const QStringList sources = two ? QStringList{"BNC", "Mini"} : QStringList{"Mask", "BNC"};
        const QString source = two ? QStringLiteral("BNC") : QString::fromStdString(rec.connector);
        QComboBox* boxes[3] = {ChoiceBox(filters, QString::number(rec.filterCutoff)), ChoiceBox(sources, source),
                               ChoiceBox(gains, QString::number(rec.gain))};
        for (int c = 0; c < 3; ++c) {
            m_grid->setCellWidget(r, c + 2, boxes[c]);
            connect(boxes[c], &QComboBox::currentIndexChanged, this, [this] { OnChannelGridChange(); });
        }
    }
    m_grid->setColumnWidth(0, 30);
    for (int c = 1; c < 5; ++c)
        m_grid->setColumnWidth(c, 60);
    m_grid->verticalHeader()->setDefaultSectionSize(19);
    if (two) {
        m_frontPanel->hide();
        m_mask->hide();
        m_sourceCaption->setText(QString());
        m_maskHint->setText(QStringLiteral("AD/DC: Select either AC or DC coupled input"));
        m_bncHint->setText(QStringLiteral("Source: Select either BNC 0r Mini for input"));
    }
    m_building = false;
}

std::vector<RendalChannelRow> CFormRecordRendal::ReadGrid() const {
    std::vector<RendalChannelRow> rows;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        RendalChannelRow row;
        const QTableWidgetItem* on = m_grid->item(r, 0);
        row.enabled = on && on->checkState() == Qt::Checked ? 1 : 0;
        row.coupling = ComboText(m_grid, r, 1).toStdString();
        row.filter = ComboText(m_grid, r, 2).toInt();
        row.source = ComboText(m_grid, r, 3).toStdString();
        row.gain = ComboText(m_grid, r, 4).toInt();
        rows.push_back(row);
    }
    return rows;
}

void CFormRecordRendal::OnChannelGridChange() {
    try {
        const std::vector<RendalChannelRow> rows = ReadGrid();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            ChannelSetup& rec = m_records[r + 1];
            rec.enabled = rows[r].enabled;
            rec.filterCutoff = rows[r].filter;
            rec.connector = rows[r].source;
            rec.gain = rows[r].gain;
        }
        m_layoutValid = 0;
        const bool two = TwoChannelLayout();
        for (const RendalControlWord& w : RendalChannelPairWords(rows, two)) {
            if (two) {
                m_dcBit = RendalDcBitOf(rows[static_cast<std::size_t>(2 * (w.value - 1))].coupling);
                SendAudioControl();
            }
            m_hardware->SetHardwareControls(w.value, w.data);
        }
    } catch (...) {
    }
}

void CFormRecordRendal::SendAudioControl() {
    m_gainIndex = std::max(0, m_gain->currentIndex());
    const std::uint8_t data[2] = {AudioByte(), 0};
    try {
        m_hardware->SetHardwareControls(0, data);
    } catch (...) {
    }
}

void CFormRecordRendal::OnMic() {
    m_app.settings.inputSource = kInputMic;
    m_mic->setChecked(true);
    m_mask->setEnabled(true);
    m_frontPanel->setEnabled(true);
    m_gain->setEnabled(true);
    m_micBit = 16;
    SendAudioControl();
}

void CFormRecordRendal::OnLine() {
    m_app.settings.inputSource = kInputLine;
    m_line->setChecked(true);
    m_mask->setEnabled(false);
    m_frontPanel->setEnabled(false);
    m_gain->setEnabled(false);
    m_micBit = 0;
    SendAudioControl();
}

void CFormRecordRendal::OnMask() {
    m_mask->setChecked(true);
    m_records[0].connector = "Mask";
    m_frontPanelBit = 0;
    SendAudioControl();
}

void CFormRecordRendal::OnFrontPanel() {
    m_frontPanel->setChecked(true);
    m_records[0].connector = "Panel";
    m_frontPanelBit = 8;
    SendAudioControl();
}

void CFormRecordRendal::OnSelchangeGain() {
    m_records[0].gain = std::max(0, m_gain->currentIndex()) * 100 + 100;
    SendAudioControl();
}

// ---- sampling and the display ----------------------------------------------------

void CFormRecordRendal::StartSampling() {
    try {
        m_recording = m_paused = m_frozen = m_hasRecorded = 0;
        m_blockCounter = 0;
        ResetDisplay();
        LayoutPanes();
        if (!m_worker) {
            m_worker = std::make_unique<CUSB2Thread>();
            m_worker->SetMessageSink([this](const std::string& t) { ShowWorkerMessage(QString::fromStdString(t)); });
            m_worker->Start();
        }
        m_worker->AttachFile(m_doc.rendalRecordingFile);
        m_worker->SetSampleClient(this);
        m_worker->stopFlag = 0;
        m_worker->recordingFlag = 0;
        m_worker->PostThreadMessage(CUSB2Thread::kSample);
        update();
    } catch (...) {
    }
}

void CFormRecordRendal::StopWorker() {
    if (!m_worker)
        return;
    m_worker->ClearSampleClient();
    m_worker->stopFlag = 1;
    m_worker->WaitRunEnded(kCloseWait);
    m_worker->Stop(kCloseWait);
    m_worker.reset();
}

void CFormRecordRendal::DisplayBlock(const std::uint8_t* data, std::size_t bytes) {
    std::lock_guard lock(m_queueMutex);
    if (m_queue.size() >= kDisplayQueueLimit) {
        // The window is behind: the display drops this block (the file has it).
        ++m_dropped;
        return;
    }
    m_queue.emplace_back(data, data + bytes);
    if (!m_drainPosted) {
        m_drainPosted = true;
        QMetaObject::invokeMethod(this, [this] { DrainBlocks(); }, Qt::QueuedConnection);
    }
}

int CFormRecordRendal::BlocksDropped() const {
    std::lock_guard lock(m_queueMutex);
    return m_dropped;
}

void CFormRecordRendal::DrainBlocks() {
    std::deque<std::vector<std::uint8_t>> blocks;
    {
        std::lock_guard lock(m_queueMutex);
        blocks.swap(m_queue);
        m_drainPosted = false;
    }
    for (const auto& b : blocks)
        DrawBlock(b.data(), b.size());
}

void CFormRecordRendal::ResetDisplay() {
    m_trace = QImage();
    m_overlay = QImage();
    m_blank = QImage();
    m_layoutValid = 0;
}

void CFormRecordRendal::LayoutPanes() {
    const int left = m_grid->geometry().right() + 1 + 5;
    m_panesArea = QRect(QPoint(left, 50), QPoint(std::max(left + 1, width() - 5), std::max(51, height())));
    m_paneWidth = m_panesArea.width();
    m_paneHeight = m_panesArea.height();
    m_blockWidth = m_paneWidth / std::max(1, m_blocksPerWidth);
    m_newestX = m_paneWidth - m_blockWidth;
    m_paneRecords.clear();
    for (int k = 0; k < m_count; ++k)
        if (m_records[static_cast<std::size_t>(k)].enabled)
            m_paneRecords.push_back(k);
    m_panes.clear();
    const int n = std::max<int>(1, static_cast<int>(m_paneRecords.size()));
    const int each = std::max(1, (m_paneHeight - m_count * 5) / n);
    for (std::size_t p = 0; p < m_paneRecords.size(); ++p)
        m_panes.emplace_back(0, static_cast<int>(p) * (each + 5), m_paneWidth, each);

    m_trace = QImage(m_paneWidth, m_paneHeight, QImage::Format_RGB32);
    m_trace.fill(Qt::white);
    m_blank = m_trace.copy();
    m_overlay = QImage(m_paneWidth, m_paneHeight, QImage::Format_RGB32);
    m_overlay.fill(QColor(200, 200, 200));
    QPainter p(&m_overlay);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        const QRect& r = m_panes[i];
        p.drawRect(r.adjusted(0, 0, -1, -1));
        const int k = m_paneRecords[i];
        p.drawText(r.left() + 5, r.top() + 5 + p.fontMetrics().ascent(),
                   k == 0 ? QStringLiteral("Audio") : QStringLiteral("chan# %1").arg(k));
    }
    m_layoutValid = 1;
}

void CFormRecordRendal::DrawBlock(const std::uint8_t* data, std::size_t bytes) {
    const std::size_t frames = bytes / 32;
    if (!m_layoutValid) {
        ResetDisplay();
        LayoutPanes();
        return;
    }
    if (m_frozen || frames == 0)
        return;
    const auto arrays = SplitRendalBlockForDisplay(data, bytes);
    if (m_recording && !m_paused) {
        m_blockCounter += 1;
        m_time->SetText(QString::fromStdString(RendalRecordTime(m_blockCounter, m_app.settings.recordingForm[kFormAudioBoxRate])));
    }
    QPainter p(&m_trace);
    // Scroll left by one block and clear the freed strip.
    const QImage kept = m_trace.copy(m_blockWidth, 0, m_paneWidth - m_blockWidth, m_paneHeight);
    p.drawImage(0, 0, kept);
    p.drawImage(QPoint(m_newestX, 0), m_blank, QRect(m_newestX, 0, m_paneWidth - m_newestX, m_paneHeight));
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        const QRect& pane = m_panes[i];
        const int k = m_paneRecords[i];
        const std::size_t word = i == 0 ? static_cast<std::size_t>(k) : static_cast<std::size_t>(std::min(k + 3, 15));
        const std::vector<float>& v = arrays[k == 0 ? 0 : word];
        const int half = pane.height() / 2;
        const int centre = pane.top() + half;
        QPoint last;
        for (std::size_t s = 0; s < frames; ++s) {
            const int dy = static_cast<int>(v[s] * static_cast<float>(half));
            const QPoint pt(m_newestX + static_cast<int>(static_cast<double>(s) * m_blockWidth / static_cast<double>(frames)),
                            centre - dy);
            if (s > 0) {
                p.setPen(std::abs(dy) > half - 10 ? Qt::red : Qt::black);
                p.drawLine(last, pt);
            }
            last = pt;
        }
    }
    p.end();
    ++m_blocksDrawn;
    update(m_panesArea);
}

void CFormRecordRendal::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_trace.isNull())
        return;
    QImage shown = m_trace.copy();
    {
        QPainter q(&shown);
        q.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        q.drawImage(0, 0, m_overlay);
    }
    p.drawImage(m_panesArea.topLeft(), shown);
    // The hint stays over the first pane; it never scrolls with the trace.
    if (!m_recording && !m_panes.empty()) {
        p.setPen(Qt::red);
        p.drawText(m_panesArea.left() + m_panes[0].left() + 5, m_panesArea.top() + m_panes[0].top() + 20,
                   QString::fromLatin1(kRendalScopeHint));
    }
}

void CFormRecordRendal::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layoutValid = 0;
}

void CFormRecordRendal::OnDeltaposZoomSpin(int delta) {
    if (delta < 0)
        m_blocksPerWidth = std::max(1, m_blocksPerWidth / 2);
    else if (m_paneWidth / (m_blocksPerWidth * 2) > 0)
        m_blocksPerWidth *= 2;
    m_blockWidth = m_paneWidth / m_blocksPerWidth;
    m_newestX = m_paneWidth - m_blockWidth;
    m_layoutValid = 0;
    update();
}

QString CFormRecordRendal::RecordTimeText() const { return m_time->text(); }

// ---- record, save, cancel -----------------------------------------------------------

void CFormRecordRendal::OnRecord() {
    m_recordButton->setEnabled(false);
    m_saveButton->setEnabled(true);
    m_recording = 1;
    update(m_panesArea);  // the scope hint goes
    int& rate = m_app.settings.recordingForm[kFormAudioBoxRate];
    if (rate < 1000)
        rate = 22050;
    if (!m_doc.rendalRecordingFile || m_doc.rendalRecordingFile->GetFilePath().empty())
        return;
    if (m_worker)
        m_worker->recordingFlag = 1;
    m_paused = m_frozen = 0;
    m_hasRecorded = 1;
}

void CFormRecordRendal::PrepareDocumentChannels(bool fromSave) {
    const int rate = m_app.settings.recordingForm[kFormAudioBoxRate] >= 1000
                         ? (m_app.acquisition.audioBoxPresent ? m_app.settings.recordingForm[kFormAudioBoxRate] : 22050)
                         : 22050;
    CChannels& first = m_doc.Channel(0);
    first.rate = rate;
    if (fromSave)
        m_doc.Channel(1).rate = rate;
    else
        m_doc.Channel(1).rate = m_app.settings.recordingForm[kFormAudioBoxRate];
}

bool CFormRecordRendal::LoadRecordingIntoDocument() {
    platform::File* file = m_doc.rendalRecordingFile.get();
    if (!file || file->GetFilePath().empty() || !file->IsOpen())
        return true;
    if (m_doc.LoadRendalRecording(*file, 5) != 1)
        return false;
    // The document holds the recording now; the raw file is of no more use.
    DiscardRendalRecording(m_doc);
    // What the form knows of the channels the loader made.
    const std::vector<RendalChannelRow> rows = ReadGrid();
    int m = 0;
    for (int k = 0; k < m_count && m < m_doc.GetChannelCount(); ++k) {
        if (!m_records[static_cast<std::size_t>(k)].enabled)
            continue;
        CChannels& ch = m_doc.Channel(m++);
        if (k == 0) {
            ch.gain = m_gain->currentText().toDouble();
            ch.filterRate = 8000;
        } else if (static_cast<std::size_t>(k - 1) < rows.size()) {
            ch.gain = rows[static_cast<std::size_t>(k - 1)].gain;
            ch.filterRate = rows[static_cast<std::size_t>(k - 1)].filter;
        }
    }
    if (onRecordingLoaded)
        onRecordingLoaded();
    return true;
}

bool CFormRecordRendal::OnSaveRecording() {
    m_recordButton->setEnabled(true);
    // The worker has stopped writing before the file is read.
    if (m_worker) {
        m_worker->stopFlag = 1;
        m_worker->WaitRunEnded(kSaveWait);
    }
    m_recording = m_paused = m_frozen = 0;
    const int hadRecorded = m_hasRecorded;
    m_hasRecorded = 0;
    try {
        PrepareDocumentChannels(true);
        // The form's records become the application's.
        for (int k = 0; k < m_count; ++k)
            m_app.settings.channelSetup[static_cast<std::size_t>(k)] = m_records[static_cast<std::size_t>(k)];
        m_app.settings.channelSetup[kPlayChannelSetup] = m_records[kPlayChannelSetup];
        if (hadRecorded && !LoadRecordingIntoDocument())
            throw platform::UserException();
        if (m_count == 2) {
            m_app.acquisition.playRoute = 0;
            m_app.settings.recordingForm[kFormPlayRoute] = 0;
        }
        const ApplicationSettings& s = m_app.settings;
        const bool written = PatchConfigurationFile(m_app.ConfigurationFilePath(), [&s](ConfigurationBlock& block) {
            PutRoutingTexts(block, s);
            PutChannelSetupArrays(block, s.channelSetup);
            PutConnectorTexts(block, s.channelSetup);
        });
        if (!written)
            throw platform::UserException();
    } catch (...) {
        m_prompts.Message(kRendalSaveParametersError, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    CloseFrame();
    return true;
}

void CFormRecordRendal::OnCancelRecording() { QuerySaveAndClose(false); }

bool CFormRecordRendal::QuerySaveAndClose(bool closing) {
    platform::File* file = m_doc.rendalRecordingFile.get();
    if (file && !file->GetFilePath().empty() && file->IsOpen() && m_hasRecorded) {
        // While the question is open the file stops growing and the time
        // stands still; the scope keeps running. Cancel takes both up again.
        const int wasWriting = m_worker ? m_worker->recordingFlag.exchange(0) : 0;
        const int wasPaused = m_paused;
        m_paused = 1;
        m_prompts.Beep();
        const platform::Answer a =
            m_prompts.Message(kRendalSaveQuestion, platform::Buttons::YesNoCancel, platform::Icon::Question);
        if (a == platform::Answer::Cancel) {
            m_paused = wasPaused;
            if (m_worker)
                m_worker->recordingFlag = wasWriting;
            return false;
        }
        StopWorker();
        try {
            if (a == platform::Answer::Yes) {
                PrepareDocumentChannels(false);
                m_doc.Channel(0).rate = m_app.settings.recordingForm[kFormAudioBoxRate] >= 1000
                                            ? m_app.settings.recordingForm[kFormAudioBoxRate]
                                            : 22050;
                LoadRecordingIntoDocument();
            } else {
                file->Close();
                DiscardRendalRecording(m_doc);  // No: the recording is not wanted
            }
        } catch (...) {
        }
    } else {
        StopWorker();
    }
    m_recording = m_paused = m_frozen = m_hasRecorded = 0;
    if (!closing)
        CloseFrame();
    return true;
}

void CFormRecordRendal::CloseFrame() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        QMetaObject::invokeMethod(frame, "close", Qt::QueuedConnection);
}

// ---- the frame ----------------------------------------------------------------

CFormRecordRendalFrame::CFormRecordRendalFrame(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* documentFrame,
                                               QWidget* parent)
    : QMdiSubWindow(parent), m_app(doc.App()), m_form(new CFormRecordRendal(doc, prompts, this)),
      m_documentFrame(documentFrame) {
    setObjectName(QStringLiteral("recordRendalFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_form);
    setWindowTitle(QStringLiteral("Rendal Record"));
    setMinimumSize(800, 500);
    if (documentFrame)
        documentFrame->installEventFilter(this);
}

bool CFormRecordRendalFrame::eventFilter(QObject* watched, QEvent* event) {
    // The document's own frame is closing: this form is asked first, while
    // the document is still there.
    if (watched == m_documentFrame && event->type() == QEvent::Close && !m_closing) {
        // Cancel keeps the recording, and with it the document's window.
        if (!m_form->QuerySaveAndClose(true)) {
            event->ignore();
            return true;
        }
        m_closing = true;
        hide();
        deleteLater();
        m_documentFrame->removeEventFilter(this);
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void CFormRecordRendalFrame::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        if (!m_form->QuerySaveAndClose(true)) {
            event->ignore();
            return;
        }
        m_closing = true;
    }
    if (m_documentFrame)
        m_documentFrame->removeEventFilter(this);
    QMdiSubWindow::closeEvent(event);
}

void CFormRecordRendalFrame::StorePlacement() {
    if (isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_app.settings.placements[kPlacementRecordForms] = {g.left(), g.top(), g.width(), g.height()};
}

void CFormRecordRendalFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CFormRecordRendalFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

}  // namespace vocomet
