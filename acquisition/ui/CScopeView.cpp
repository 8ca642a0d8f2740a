#include "acquisition/ui/CScopeView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUsbDevice.h"
#include "acquisition/RendalControls.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "widgets/CButtonST.h"
#include "core/ApplicationState.h"
#include "platform/usb/UsbTransport.h"

namespace vocomet {

namespace {

constexpr std::size_t kQueueLimit = 16;
constexpr unsigned kReaderWaitMs = 10;

}  // namespace

CScopeView::CScopeView(ApplicationState& app, QWidget* parent) : QWidget(parent), m_app(app) {
    setObjectName(QStringLiteral("scopeView"));
    setAutoFillBackground(true);
}

CScopeView::~CScopeView() { EndReader(); }

void CScopeView::OnInitialUpdate() {
    CreateBuffers();
    m_zoomIn = new CButtonST(QStringLiteral("Zoom In"), this);
    m_zoomIn->setGeometry(20, 20, 100, 20);
    m_zoomIn->SetColor(0, platform::ColorRef(0xE6E6E6));
    m_zoomOut = new CButtonST(QStringLiteral("Zoom Out"), this);
    m_zoomOut->setGeometry(150, 20, 100, 20);
    m_zoomOut->SetColor(0, platform::ColorRef(0xE6E6E6));
    m_zoomIn->show();
    m_zoomOut->show();
    connect(m_zoomIn, &QPushButton::clicked, this, [this] { OnStartScope(); });
    connect(m_zoomOut, &QPushButton::clicked, this, [this] { OnStopScope(); });

    m_device = std::make_unique<CUsbDevice>(platform::usb::kRendalDeviceKind, true);
    if (m_device->GetDeviceCount() > 0 && m_device->Open(0)) {
        const int count = m_device->GetEndpointCount();
        for (int i = 1; i < count; ++i) {
            CUsbEndpoint* e = m_device->Endpoint(i);
            if (!e || e->bmAttributes != 2)
                continue;
            if (e->bEndpointAddress & 0x80)
                m_bulkIn = e;
            else
                m_bulkOut = e;
        }
    }
    QTimer::singleShot(1, this, [this] { OnTimer(); });
}

bool CScopeView::SendRequest(std::uint8_t request) {
    if (!m_device || !m_device->IsOpen() || !m_device->ControlEndpoint())
        return false;
    CUsbControlEndpoint* c = m_device->ControlEndpoint();
    c->recipient = 0;
    c->requestType = 2;
    c->direction = 0;
    c->request = request;
    c->value = 1;
    c->index = 0;
    int n = 0;
    return c->Transfer(nullptr, n);
}

void CScopeView::OnTimer() {
    if (!m_device || !m_device->IsOpen())
        return;
    SendRequest(kVrSample);
    for (auto& c : m_channels)
        c.assign(kFrames, 0);
    StartReader();
}

void CScopeView::OnStartScope() {
    // One reader at a time: its slots and buffers are its own.
    if (!m_device || !m_device->IsOpen() || IsReaderRunning())
        return;
    SendRequest(kVrSample);
    if (m_channels[0].empty())
        for (auto& c : m_channels)
            c.assign(kFrames, 0);
    StartReader();
}

void CScopeView::OnStopScope() {
    if (!m_device || !m_device->IsOpen())
        return;
    SendRequest(kVrStop);
    EndReader();
}

bool CScopeView::StopScope() {
    m_run = 0;
    const bool sent = SendRequest(kVrStop);
    EndReader();
    return sent;
}

void CScopeView::OnOptionsRecordPlay() {
    if (CFrameRecordPlay* f = m_app.acquisition.recordPlayFrame) {
        f->setVisible(!f->isVisible());
        f->raise();
    }
}

void CScopeView::StartReader() {
    if (!m_bulkIn || IsReaderRunning())
        return;
    m_run = 1;
    m_reader = std::thread([this] { RunScopeReader(); });
}

void CScopeView::EndReader() {
    m_run = 0;
    // The reader checks the flag every 10 ms and then takes its transfers back.
    if (m_reader.joinable())
        m_reader.join();
}

void CScopeView::RunScopeReader() {
    CUsbEndpoint* in = m_bulkIn;
    in->SetTransferSize(in->GetTransferSize());
    struct Slot {
        std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBlockBytes);
        CUsbRequestPtr request;
    };
    std::vector<Slot> ring(kSlots);
    for (Slot& s : ring)
        s.request = in->BeginTransfer(s.buffer.data(), kBlockBytes);
    for (int b = 0; m_run.load() != 0;) {
        Slot& s = ring[static_cast<std::size_t>(b)];
        // A transfer still with the driver is neither finished nor queued again.
        if (!in->WaitForTransfer(s.request.get(), kReaderWaitMs) && s.request && !s.request->IsComplete())
            continue;
        int n = 0;
        const bool ok = in->FinishTransfer(s.buffer.data(), n, s.request);
        std::vector<std::uint8_t> copy(s.buffer.begin(), s.buffer.begin() + std::max(0, n));
        s.request = in->BeginTransfer(s.buffer.data(), kBlockBytes);
        if (!ok) {
            if (in->usbStatus == static_cast<std::uint32_t>(platform::usb::UsbStatus::NoDevice))
                break;  // the device is gone: nothing more will come
            std::this_thread::sleep_for(std::chrono::milliseconds(kReaderWaitMs));
            continue;
        }
        {
            std::lock_guard lock(m_queueMutex);
            if (m_queue.size() < kQueueLimit) {
                m_queue.push_back(std::move(copy));
                if (!m_drainPosted) {
                    m_drainPosted = true;
                    QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
                }
            }
        }
        b = (b + 1) % kSlots;
    }
    in->AbortPipe();
    for (Slot& s : ring) {
        int n = 0;
        in->FinishTransfer(nullptr, n, s.request);
    }
}

void CScopeView::Drain() {
    std::deque<std::vector<std::uint8_t>> blocks;
    {
        std::lock_guard lock(m_queueMutex);
        blocks.swap(m_queue);
        m_drainPosted = false;
    }
    for (const auto& b : blocks)
        DrawChannelBlock(b.data(), b.size());
}

void CScopeView::CreateBuffers() {
    m_width = std::max(1, width());
    m_height = std::max(kTop + 1, height());
    m_scrollStep = m_width / 2;
    m_newDataPosition = m_width - m_scrollStep;
    // One strip per channel switched on in the record/play options (the
    // audio channel when none is).
    m_stripChannels.clear();
    const int records = std::clamp(m_app.acquisition.hardwareChannelCount, 1, kChannelSetupCount - 1);
    for (int k = 0; k < records; ++k)
        if (m_app.settings.channelSetup[static_cast<std::size_t>(k)].enabled)
            m_stripChannels.push_back(k);
    if (m_stripChannels.empty())
        m_stripChannels.push_back(0);
    const int channels = static_cast<int>(m_stripChannels.size());
    const int h = std::max(1, (m_height - kTop) / channels);
    m_trace = QImage(m_width, m_height, QImage::Format_RGB32);
    m_trace.fill(Qt::white);
    m_blank = m_trace.copy();
    m_grid = m_trace.copy();
    QPainter p(&m_grid);
    for (int j = 0; j < channels; ++j) {
        const QRect r(QPoint(1, j * h + 55), QPoint(m_width - 2, (j + 1) * h + 50 - 1));
        m_strips[static_cast<std::size_t>(j)] = r;
        p.setPen(QColor(255, 0, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        QPen dashed(QColor(200, 200, 200), 1, Qt::DashLine);
        p.setPen(dashed);
        p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
        p.setPen(Qt::black);
        const int k = m_stripChannels[static_cast<std::size_t>(j)];
        p.drawText(r.left() + 2, r.top() + 5 + p.fontMetrics().ascent(),
                   k == 0 ? QStringLiteral("Audio") : QString::number(k));
    }
    m_stripCount = channels;
    m_buffersReady = true;
}

void CScopeView::DrawChannelBlock(const std::uint8_t* block, std::size_t bytes) {
    if (!m_buffersReady)
        return;
    m_scrollStep = std::max(1, m_width / kScrollDivisor);
    m_newDataPosition = m_width - m_scrollStep;
    {
        QPainter p(&m_trace);
        const QImage kept = m_trace.copy(m_scrollStep, kTop, m_width - m_scrollStep, m_height - kTop);
        p.drawImage(0, kTop, kept);
        p.drawImage(QPoint(m_newDataPosition, kTop), m_blank,
                    QRect(m_newDataPosition, kTop, m_width - m_newDataPosition, m_height - kTop));
        if (m_channels[0].size() < static_cast<std::size_t>(kFrames))
            for (auto& c : m_channels)
                c.assign(kFrames, 0);
        SplitScopeBlock(block, bytes, m_channels);
        p.setPen(Qt::black);
        const std::size_t frames = std::min<std::size_t>(bytes / 32, kFrames);
        for (std::size_t j = 0; j < m_stripChannels.size(); ++j) {
            // The audio strip shows word 0; channel k of the system is word k + 3.
            const int record = m_stripChannels[j];
            const std::vector<std::int16_t>& samples =
                m_channels[static_cast<std::size_t>(record == 0 ? 0 : std::min(record + 3, 15))];
            const QRect& strip = m_strips[j];
            const int t = strip.top();
            const int u = strip.bottom() + 1;
            const int m = t + (u - t) / 2;
            QPoint last;
            for (std::size_t k = 0; k < frames; ++k) {
                const QPoint pt(
                    m_newDataPosition + static_cast<int>(static_cast<long long>(k) * m_scrollStep / kFrames),
                    m - static_cast<int>(static_cast<long long>(samples[k]) * (u - t) / 65536));
                if (k > 0)
                    p.drawLine(last, pt);
                last = pt;
            }
        }
    }
    ++m_blocksDrawn;
    update();
}

QRect CScopeView::HintRect() const {
    return fontMetrics().boundingRect(QString::fromLatin1(kScopeHint)).translated(5, fontMetrics().ascent());
}

void CScopeView::mousePressEvent(QMouseEvent* event) {
    // The hint names the dialog: a click on it opens the dialog.
    if (event->button() == Qt::LeftButton && HintRect().contains(event->position().toPoint())) {
        if (CFrameRecordPlay* f = m_app.acquisition.recordPlayFrame; f && !f->isVisible())
            ToggleRecordPlayOptions(m_app, nullptr);
        else if (f)
            f->raise();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CScopeView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawText(5, p.fontMetrics().ascent(), QString::fromLatin1(kScopeHint));
    if (m_trace.isNull())
        return;
    QImage shown = m_trace.copy(0, kTop, m_width, m_height - kTop);
    {
        QPainter q(&shown);
        q.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        q.drawImage(0, 0, m_grid, 0, kTop);
    }
    p.drawImage(0, kTop, shown);
}

void CScopeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Drawing happens on this thread only, so the reader goes on.
    if (m_buffersReady)
        CreateBuffers();
}

// ---- the frame and the command ----------------------------------------------------------

CScopeChildFrame::CScopeChildFrame(ApplicationState& app, QWidget* parent)
    : QMdiSubWindow(parent), m_app(app), m_view(new CScopeView(app, this)) {
    setObjectName(QStringLiteral("scopeFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(m_view);
    setWindowTitle(QStringLiteral("Scope Window"));
}

void CScopeChildFrame::CloseScopeWindow() {
    m_view->StopScope();
    close();
}

void CScopeChildFrame::closeEvent(QCloseEvent* event) {
    m_view->StopScope();
    QMdiSubWindow::closeEvent(event);
}

void CScopeChildFrame::StorePlacement() {
    if (isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_app.settings.placements[kPlacementScope] = {g.left(), g.top(), g.width(), g.height()};
}

void CScopeChildFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CScopeChildFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

CScopeChildFrame* OpenScopeFrame(QMainWindow& mainFrame) {
    return mainFrame.findChild<CScopeChildFrame*>(QStringLiteral("scopeFrame"));
}

QAction* InstallScopeWindowCommand(QMainWindow& mainFrame, QMdiArea& area, ApplicationState& app) {
    auto* action = new QAction(QStringLiteral("Scope Window"), &mainFrame);
    action->setObjectName(QStringLiteral("scopeWindowCommand"));
    action->setData(kScopeWindowCommand);
    // In no menu and with no shortcut, as the command has always been.
    mainFrame.addAction(action);
    // Offered while the system is present and no scope window is open.
    action->setEnabled(app.acquisition.rendalPresent != 0);
    QObject::connect(action, &QAction::triggered, &mainFrame, [&mainFrame, &area, &app, action] {
        if (!app.acquisition.rendalPresent || OpenScopeFrame(mainFrame))
            return;
        auto* frame = new CScopeChildFrame(app);
        action->setEnabled(false);
        QObject::connect(frame, &QObject::destroyed, action,
                         [action, &app] { action->setEnabled(app.acquisition.rendalPresent != 0); });
        area.addSubWindow(frame);
        WindowPlacement p = app.settings.placements[kPlacementScope];
        if (IsUnplaced(p))
            p = {50, 50, 600, 300};
        frame->setGeometry(p[0], p[1], p[2], p[3]);
        frame->show();
        frame->raise();
        frame->View()->OnInitialUpdate();
    });
    return action;
}

}  // namespace vocomet
