// Playing from the main view: a selection of a real file goes to the sound
// card (the fake one, played at its real pace) and the play cursor runs
// over the strips with the stream's clock until the selection's end.

#include <QApplication>
#include <QPointer>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <type_traits>
#include <thread>
#include <vector>

#include "acquisition/CSoundOut.h"
#include "acquisition/CUSB2Thread.h"
#include "acquisition/CUSBThread.h"
#include "analysis/ui/CPitchPane.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "app/PlayRoute.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/FakeAudio.h"
#include "platform/Progress.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "platform/usb/SimulatedRendal.h"
#include "platform/usb/UsbTransport.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class ViewPlay : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        app.acquisition.audioBackend = backend;
    }

    // One second of a 440 Hz tone at 11025 Hz, made by sox.
    bool OpenTone(COrielDoc& doc) {
        const std::string path = app.tempFolder + "/tone.wav";
        if (test::RunCommand("sox -n -r 11025 -c 1 -b 16 '" + path + "' synth 1.0 sine 440 vol 0.5") != 0)
            return false;
        return doc.OnOpenDocument(path);
    }

    // The view of the tone shown, with samples 2206 to 6615 selected.
    static void Show(COrielView& view) {
        view.resize(700, 300);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // Play All, then a press in the view once it has played a while.
    static void PressWhilePlayingAll(COrielView& view) {
        view.OnRecordPlayPlayAll();
        QTest::qWait(150);
        ASSERT_TRUE(view.IsPlayCursorRunning());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 100));
        EXPECT_FALSE(view.IsPlayCursorRunning());
    }

    static void SelectPart(COrielDoc& doc, COrielView& view) {
        Show(view);
        CChannels& ch = doc.Channel(0);
        ch.selStartSample = 2206;
        ch.selEndSample = 6615;
        ch.selStartTime = 2206 / 11.025;
        ch.selEndTime = 6615 / 11.025;
        view.selectionShown = true;
        doc.selectionPresent = 1;
    }

    // Where the cursor stood until it stopped; the view is saved as shot
    // after shotAt turns (null: no shot).
    static std::vector<int> FollowCursor(COrielView& view, int shotAt, const char* shot) {
        std::vector<int> seen;
        for (int i = 0; i < 1000 && view.IsPlayCursorRunning(); ++i) {
            QTest::qWait(5);
            seen.push_back(view.LastPlayCursorX());
            if (i == shotAt && shot) {
                const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
                QDir().mkpath(dir);
                view.grab().save(dir + QStringLiteral("/") + QString::fromLatin1(shot));
            }
        }
        return seen;
    }

    struct PlayCase {
        const char* name;
        void (COrielView::*command)();
        PlayRange range;
    };

    // A pitch pane over the tone with its track, a fifth to three fifths of
    // it selected by a drag, then zoomed in once.
    // Selects a fifth to three fifths of the pane's plot by a drag.
    static void SelectInPane(QWidget& pane, const QRect& plot) {
        const int y = plot.center().y();
        const auto send = [&](QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(x, y), QPointF(pane.mapToGlobal(QPoint(x, y))), button, buttons,
                          Qt::NoModifier);
            QApplication::sendEvent(&pane, &e);
        };
        send(QEvent::MouseButtonPress, plot.left() + plot.width() / 5, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, plot.left() + plot.width() * 3 / 5, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, plot.left() + plot.width() * 3 / 5, Qt::LeftButton, Qt::NoButton);
    }

    static QRect PlotOf(const CPitchPane& pane) { return pane.PlotRect(); }
    static QRect PlotOf(const CSpectrogramPane& pane) {
        const auto& p = pane.Layout().plot;
        return QRect(p.left, p.top, p.right - p.left, p.bottom - p.top);
    }

    // The play cursor shows as a line in the pane while it runs and is gone
    // once a press in the pane has stopped it.
    template <typename Pane>
    static void PressStopsTheShownCursor(Pane& pane) {
        const int x = pane.LastPlayCursorX();
        const int y = PlotOf(pane).top() + 2;
        ASSERT_GE(x, 0);
        const QRgb playing = pane.grab().toImage().pixel(x, y);
        QTest::mouseClick(&pane, Qt::LeftButton, Qt::NoModifier, QPoint(300, 150));
        EXPECT_FALSE(pane.IsPlaying());
        EXPECT_NE(playing, pane.grab().toImage().pixel(x, y)) << "the cursor line left the picture";
    }

    static std::unique_ptr<CPitchPane> ShowPitchPane(COrielDoc& doc) {
        auto pane = std::make_unique<CPitchPane>(doc);
        pane->hooks.makeProgress = [] { return std::make_unique<platform::NullProgress>(); };
        pane->resize(700, 400);
        pane->show();
        pane->SetChannel(0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pane->IsTrackValid(); }, 10000));
        SelectInPane(*pane, pane->PlotRect());
        EXPECT_TRUE(pane->Selection().SelectionExists());
        pane->Zoom(static_cast<int>(PaneZoomMode::In));
        EXPECT_TRUE(pane->Selection().Zoomed());
        return pane;
    }

    // A spectrogram pane over samples 2000 to 9000 of the tone, a part of
    // it selected by a drag.
    static std::unique_ptr<CSpectrogramPane> ShowSpectrogramPane(COrielDoc& doc) {
        auto pane = std::make_unique<CSpectrogramPane>(doc);
        pane->hooks.makeProgress = [] { return std::make_unique<platform::NullProgress>(); };
        pane->resize(700, 400);
        pane->show();
        pane->SetAnalysisSettings(0, nullptr, 11025, 11025, 2000, 9000, 2000 / 11.025, 9000 / 11.025,
                                  doc.settings.spectrogram);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pane->IsSpectrogramValid(); }, 10000));
        SelectInPane(*pane, PlotOf(*pane));
        EXPECT_TRUE(pane->Selection().SelectionExists());
        return pane;
    }

    // Runs check on a pitch pane, then on a spectrogram pane, of the tone.
    template <typename Check>
    static void ForBothPanes(COrielDoc& doc, Check check) {
        {
            SCOPED_TRACE("pitch");
            check(ShowPitchPane(doc));
        }
        {
            SCOPED_TRACE("spectrogram");
            check(ShowSpectrogramPane(doc));
        }
    }

    template <typename Pane>
    struct PaneCase {
        const char* name;
        void (Pane::*command)();
        PlayRange range;
    };

    // All, the selection and the window of the pane; lowered: whole groups
    // of four for the selection and the window.
    template <typename Pane>
    static std::vector<PaneCase<Pane>> Cases(Pane& pane, bool lowered) {
        const auto whole = [lowered](double v) {
            const auto s = static_cast<std::int64_t>(v);
            return lowered ? s & ~std::int64_t{3} : s;
        };
        const AnalysisPaneSelection& sel = pane.Selection();
        std::vector<PaneCase<Pane>> cases = {
            {"selection", &Pane::PlaySelection, {whole(sel.SelectionStartSample()), whole(sel.SelectionEndSample())}},
            {"window", &Pane::PlayWindow, {whole(sel.Shown().startSample), whole(sel.Shown().endSample)}}};
        if constexpr (std::is_same_v<Pane, CPitchPane>)
            cases.push_back({"all", &CPitchPane::PlayAll, {0, 11025}});
        return cases;
    }

    // Plays each case from the pane: the cursor runs to the range's end in
    // the pane's plot; decoded(k) is the device's k-th played sample of the
    // range, encode the device's form of a document sample.
    template <typename Pane, typename Played, typename Encode>
    static void PlayFromPane(Pane& pane, COrielDoc& doc, const std::vector<PaneCase<Pane>>& cases,
                             const std::function<bool()>& settled, Played played, Encode encode) {
        CChannels& ch = doc.Channel(0);
        for (const PaneCase<Pane>& c : cases) {
            SCOPED_TRACE(c.name);
            const std::size_t before = played().size();
            (pane.*c.command)();
            EXPECT_TRUE(pane.IsPlaying());
            // It starts at the range's start and runs, never back, to its end.
            const int start = pane.LastPlayCursorX();
            EXPECT_EQ(pane.Selection().TimeToPoint(static_cast<double>(c.range.first) * 1000.0 / 11025.0), start);
            std::vector<int> seen{start};
            for (int i = 0; i < 1000 && pane.IsPlaying(); ++i) {
                QTest::qWait(5);
                seen.push_back(pane.LastPlayCursorX());
            }
            EXPECT_FALSE(pane.IsPlaying());
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
            EXPECT_LT(start, pane.LastPlayCursorX());
            EXPECT_EQ(pane.Selection().TimeToPoint(static_cast<double>(c.range.end) * 1000.0 / 11025.0),
                      pane.LastPlayCursorX());
            ASSERT_TRUE(settled());
            const auto words = played();
            ASSERT_GE(words.size(), before + static_cast<std::size_t>(c.range.Count()));
            for (std::int64_t k = 0; k < c.range.Count(); ++k) {
                float x = 0.0f;
                ASSERT_TRUE(ch.ReadSample(c.range.first + k, x));
                ASSERT_EQ(encode(x), words[before + static_cast<std::size_t>(k)]) << k;
            }
        }
    }

    std::shared_ptr<platform::FakeAudioBackend> backend = std::make_shared<platform::FakeAudioBackend>();
    ApplicationState app;
    test::ScriptedPrompts prompts;
};

TEST_F(ViewPlay, SelectionPlaysAndTheCursorRunsToItsEnd) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    COrielView view(doc);
    view.resize(700, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    CChannels& ch = doc.Channel(0);
    ASSERT_EQ(11025, static_cast<int>(ch.rate));

    // The selection from 200 ms to 600 ms.
    ch.selStartSample = 2205;
    ch.selEndSample = 6615;
    ch.selStartTime = 200.0;
    ch.selEndTime = 600.0;
    view.selectionShown = true;
    doc.selectionPresent = 1;

    view.OnRecordPlayPlaySelection();
    ASSERT_TRUE(app.acquisition.soundOut);
    ASSERT_TRUE(app.acquisition.soundOut->IsPlaying());
    EXPECT_TRUE(view.IsPlayCursorRunning());
    platform::FakeAudioStream* stream = backend->LastStream();
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(PlayCursorX(ch, 200.0), view.LastPlayCursorX());

    // The device takes 10 ms of sound every 10 ms.
    QTimer device;
    QObject::connect(&device, &QTimer::timeout, [stream] { stream->Pump(110); });
    device.start(10);
    std::vector<int> seen;
    bool shot = false;
    for (int i = 0; i < 600 && view.IsPlayCursorRunning(); ++i) {
        QTest::qWait(5);
        seen.push_back(view.LastPlayCursorX());
        if (!shot && seen.back() > PlayCursorX(ch, 400.0)) {
            shot = true;
            const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
            QDir().mkpath(dir);
            view.grab().save(dir + QStringLiteral("/view_play_cursor.png"));
            // The cursor column shows in the second display colour.
            const QImage picture = view.viewport()->grab().toImage();
            EXPECT_EQ(QColor(Qt::red).rgb() & 0xFFFFFF,
                      picture.pixel(seen.back(), 10) & 0xFFFFFF)
                << "cursor at " << seen.back();
        }
    }
    device.stop();
    EXPECT_FALSE(view.IsPlayCursorRunning());
    EXPECT_TRUE(app.acquisition.soundOut->HasEnded());
    EXPECT_FALSE(app.acquisition.soundOut->IsPlaying());
    // It went forward only and stopped at the selection's end.
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.size(), 20u);
    EXPECT_EQ(PlayCursorX(ch, 600.0), view.LastPlayCursorX());

    // What the device got is the selection's samples.
    const std::vector<std::int16_t> rendered = stream->Rendered();
    ASSERT_GE(rendered.size(), 4410u);
    for (std::size_t i = 0; i < 4410; ++i) {
        float x = 0.0f;
        ASSERT_TRUE(ch.ReadSample(static_cast<std::int64_t>(2205 + i), x));
        ASSERT_EQ(CSoundOut::ToPcm16(x), rendered[i]) << i;
    }
    EXPECT_TRUE(prompts.messages.empty());
}

// The pane's window on the sound card: the device renders its samples and
// the pane's cursor follows the stream's clock to the window's end.
template <typename Pane>
void PlayPaneWindowOnSoundCard(Pane& pane, COrielDoc& doc, platform::FakeAudioBackend& backend) {
    const PaneRange& shown = pane.Selection().Shown();
    const PlayRange range{static_cast<std::int64_t>(shown.startSample), static_cast<std::int64_t>(shown.endSample)};
    pane.PlayWindow();
    ASSERT_TRUE(pane.IsPlaying());
    platform::FakeAudioStream* stream = backend.LastStream();
    ASSERT_NE(nullptr, stream);
    const int start = pane.LastPlayCursorX();
    QTimer device;
    QObject::connect(&device, &QTimer::timeout, [stream] { stream->Pump(110); });
    device.start(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pane.IsPlaying(); }, 10000));
    device.stop();
    EXPECT_LT(start, pane.LastPlayCursorX());
    EXPECT_EQ(pane.Selection().TimeToPoint(static_cast<double>(range.end) * 1000.0 / 11025.0), pane.LastPlayCursorX());
    const std::vector<std::int16_t> rendered = stream->Rendered();
    ASSERT_GE(rendered.size(), static_cast<std::size_t>(range.Count()));
    for (std::int64_t k = 0; k < range.Count(); ++k) {
        float x = 0.0f;
        ASSERT_TRUE(doc.Channel(0).ReadSample(range.first + k, x));
        ASSERT_EQ(CSoundOut::ToPcm16(x), rendered[static_cast<std::size_t>(k)]) << k;
    }
}

TEST_F(ViewPlay, AnalysisPanesPlayTheirWindowWithTheirOwnCursor) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    ForBothPanes(doc, [&](auto pane) { PlayPaneWindowOnSoundCard(*pane, doc, *backend); });
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
}

TEST_F(ViewPlay, StoppingOrHavingNoDeviceLeavesNoCursorRunning) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    COrielView view(doc);
    view.resize(700, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    view.OnRecordPlayPlayAll();
    ASSERT_TRUE(view.IsPlayCursorRunning());
    backend->LastStream()->Pump(2000);
    // What a press does: the cursor and this view's output stop.
    EXPECT_TRUE(view.StopPlayCursor());
    EXPECT_FALSE(view.IsPlayCursorRunning());
    EXPECT_EQ(nullptr, app.acquisition.soundOut);
    EXPECT_FALSE(view.StopPlayCursor());

    // An output stopped from elsewhere takes the cursor with it.
    view.OnRecordPlayPlayWindow();
    ASSERT_TRUE(view.IsPlayCursorRunning());
    app.acquisition.StopSoundOutput();
    view.AdvancePlayCursor();
    EXPECT_FALSE(view.IsPlayCursorRunning());

    // No device: nothing reports playing.
    backend->outputPresent = false;
    view.OnRecordPlayPlayAll();
    EXPECT_FALSE(view.IsPlayCursorRunning());
    EXPECT_EQ(kNoSoundOutputDevice, prompts.LastMessage());
}

TEST_F(ViewPlay, AViewThatGoesWhilePlayingStopsItsSoundFirst) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    auto view = std::make_unique<COrielView>(doc);
    view->resize(700, 300);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->OnRecordPlayPlayAll();
    ASSERT_TRUE(app.acquisition.soundOut);
    platform::FakeAudioStream* stream = backend->LastStream();
    // Blocks played are queued to the view...
    for (int i = 0; i < 20; ++i)
        stream->Pump(512);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // ...and it goes before they are handled: nothing may reach it.
    view.reset();
    EXPECT_EQ(nullptr, app.acquisition.soundOut);
    EXPECT_EQ(nullptr, backend->LastStream());
    QTest::qWait(50);
}

// The sixteen-channel system's road, on the simulated system.
class ViewPlayRendal : public ViewPlay {
protected:
    void SetUp() override {
        ViewPlay::SetUp();
        app.acquisition.rendalPresent = 1;
        app.acquisition.hardwareChannelCount = 5;
        app.acquisition.playRoute = 1;
        bus->Add(platform::usb::kRendalDeviceKind, device);
    }
    void TearDown() override { device->StopClock(); }

    // Each range of the pane plays on the system, a press stops it, and the
    // pane going takes its worker and transfers with it.
    template <typename Pane>
    void PlayThroughPane(COrielDoc& doc, std::unique_ptr<Pane> pane) {
        device->StartClock(std::chrono::milliseconds(2), 1);
        PlayFromPane(
            *pane, doc, Cases(*pane, false), [&] { return Settled(); }, [&] { return device->PlayedWords(); },
            [](float x) { return EncodeUsb2PlaySample(x); });

        device->StartClock(std::chrono::milliseconds(100), 1);
        pane->PlayWindow();
        QTest::qWait(150);
        ASSERT_TRUE(pane->IsPlaying());
        PressStopsTheShownCursor(*pane);
        ASSERT_TRUE(Settled());
        const std::size_t played = device->PlayedWords().size();
        QTest::qWait(250);
        EXPECT_EQ(played, device->PlayedWords().size()) << "played after the press";

        pane->PlayWindow();
        QTest::qWait(150);
        ASSERT_TRUE(device->IsPlaying());
        pane.reset();
        EXPECT_EQ(0u, device->Outstanding());
    }

    // True once the device has nothing queued and plays no more.
    bool Settled() {
        return QTest::qWaitFor([&] { return device->Outstanding() == 0 && !device->IsPlaying(); }, 5000);
    }

    std::shared_ptr<platform::usb::SimulatedRendal> device =
        std::make_shared<platform::usb::SimulatedRendal>(0x05);
    std::shared_ptr<platform::usb::SimulatedUsbBus> bus = std::make_shared<platform::usb::SimulatedUsbBus>();
    platform::usb::ScopedUsbBus scope{bus};
};

TEST_F(ViewPlayRendal, EachCommandPlaysItsRangeAndTheCursorRunsToItsEnd) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    COrielView view(doc);
    SelectPart(doc, view);
    CChannels& ch = doc.Channel(0);
    device->StartClock(std::chrono::milliseconds(2), 1);

    // Only the selection goes to whole groups of four; the rest plays every
    // sample, the last one (11024) included.
    const PlayCase cases[] = {
        {"all", &COrielView::OnRecordPlayPlayAll, {0, 11025}},
        {"selection", &COrielView::OnRecordPlayPlaySelection, {2204, 6612}},
        {"window", &COrielView::OnRecordPlayPlayWindow,
         {static_cast<std::int64_t>(ch.shownStart), static_cast<std::int64_t>(ch.shownEnd)}},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = device->PlayedWords().size();
        (view.*c.command)();
        EXPECT_TRUE(view.IsPlayCursorRunning());
        const std::vector<int> seen =
            FollowCursor(view, 60, c.command == &COrielView::OnRecordPlayPlayAll ? "view_play_rendal.png" : nullptr);
        EXPECT_FALSE(view.IsPlayCursorRunning());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_GT(seen.size(), 10u);
        EXPECT_EQ(PlayCursorX(ch, static_cast<double>(c.range.end) * 1000.0 / 11025.0), view.LastPlayCursorX());
        // Stopped once played: nothing is left queued.
        ASSERT_TRUE(Settled());
        const std::vector<std::uint16_t> words = device->PlayedWords();
        ASSERT_GE(words.size(), before + static_cast<std::size_t>(c.range.Count()));
        for (std::int64_t k = 0; k < c.range.Count(); ++k) {
            float x = 0.0f;
            ASSERT_TRUE(ch.ReadSample(c.range.first + k, x));
            ASSERT_EQ(EncodeUsb2PlaySample(x), words[before + static_cast<std::size_t>(k)]) << k;
        }
        if (words.size() > before + static_cast<std::size_t>(c.range.Count())) {
            EXPECT_EQ(0xFFFE, words[before + static_cast<std::size_t>(c.range.Count())]) << "silence after the range";
        }
    }
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
}

TEST_F(ViewPlayRendal, AnalysisPanesPlayEachRangeWithTheirOwnCursorAndTheirWorkerGoesWithThem) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    ForBothPanes(doc, [&](auto pane) { PlayThroughPane(doc, std::move(pane)); });
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
}

TEST_F(ViewPlayRendal, APressStopsItAndNoWorkerOutlivesItsView) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    auto view = std::make_unique<COrielView>(doc);
    Show(*view);
    // A device that takes one block of 2048 words every 100 ms.
    device->StartClock(std::chrono::milliseconds(100), 1);
    PressWhilePlayingAll(*view);
    ASSERT_TRUE(Settled());
    const std::size_t played = device->PlayedWords().size();
    EXPECT_LT(played, 11025u);
    bool stopSent = false;
    for (const auto& r : device->RequestLog())
        stopSent |= r.setup.bRequest == platform::usb::SimulatedRendal::kStop;
    EXPECT_TRUE(stopSent);
    QTest::qWait(250);
    EXPECT_EQ(played, device->PlayedWords().size()) << "played after the press";

    // The view goes while its device plays: its worker and transfers go first.
    view->OnRecordPlayPlayAll();
    QTest::qWait(150);
    ASSERT_TRUE(device->IsPlaying());
    view.reset();
    EXPECT_EQ(0u, device->Outstanding());
    QTest::qWait(50);
}

// The audio box's road, on the simulated box and the application's worker.
class ViewPlayAudioBox : public ViewPlay {
protected:
    void SetUp() override {
        ViewPlay::SetUp();
        app.acquisition.audioBoxPresent = 1;
        app.acquisition.playRoute = 1;
        bus->Add(platform::usb::kAudioBoxDeviceKind, box);
        app.acquisition.usbThread = std::make_unique<CUSBThread>();
        app.acquisition.usbThread->Start();
    }
    void TearDown() override {
        app.acquisition.usbThread.reset();
        box->StopClock();
    }

    // Each range of the pane plays on the box, a press stops it, and the
    // pane going stops the worker first.
    template <typename Pane>
    void PlayThroughPane(COrielDoc& doc, std::unique_ptr<Pane> pane) {
        box->StartClock(std::chrono::milliseconds(5));
        const auto settled = [&] {
            return QTest::qWaitFor([&] { return box->Outstanding() == 0 && !box->IsPlaying(); }, 5000);
        };
        PlayFromPane(
            *pane, doc, Cases(*pane, true), settled, [&] { return box->PlayedChannel(0); },
            [](float x) { return Decoded(x); });

        box->StartClock(std::chrono::milliseconds(40), 1);
        pane->PlayWindow();
        QTest::qWait(100);
        ASSERT_TRUE(pane->IsPlaying());
        PressStopsTheShownCursor(*pane);
        EXPECT_FALSE(app.acquisition.usbThread->IsBusy());
        ASSERT_TRUE(settled());
        const std::size_t played = box->PlayedChannel(0).size();
        QTest::qWait(200);
        EXPECT_EQ(played, box->PlayedChannel(0).size()) << "played after the press";

        pane->PlayWindow();
        QTest::qWait(100);
        ASSERT_TRUE(app.acquisition.usbThread->IsBusy());
        pane.reset();
        EXPECT_FALSE(app.acquisition.usbThread->IsBusy());
        EXPECT_EQ(0u, box->Outstanding());
    }

    // The box's decoding of a played sample.
    static float Decoded(float x) {
        return static_cast<float>(std::trunc(static_cast<double>(x) * 8388608.0) / 8388608.0);
    }

    std::shared_ptr<platform::usb::SimulatedAudioBox> box = std::make_shared<platform::usb::SimulatedAudioBox>();
    std::shared_ptr<platform::usb::SimulatedUsbBus> bus = std::make_shared<platform::usb::SimulatedUsbBus>();
    platform::usb::ScopedUsbBus scope{bus};
};

TEST_F(ViewPlayAudioBox, EachCommandPlaysItsRangeAndTheCursorFollowsThePlayedBlocks) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    COrielView view(doc);
    SelectPart(doc, view);
    CChannels& ch = doc.Channel(0);
    box->StartClock(std::chrono::milliseconds(5));

    // Play All plays every sample, the last one (11024) included; the
    // selection and the window go to whole groups of four.
    const PlayCase cases[] = {
        {"all", &COrielView::OnRecordPlayPlayAll, {0, 11025}},
        {"selection", &COrielView::OnRecordPlayPlaySelection, {2204, 6612}},
        {"window", &COrielView::OnRecordPlayPlayWindow,
         {static_cast<std::int64_t>(ch.shownStart) & ~3, static_cast<std::int64_t>(ch.shownEnd) & ~3}},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = box->PlayedChannel(0).size();
        (view.*c.command)();
        EXPECT_TRUE(view.IsPlayCursorRunning());
        const std::vector<int> seen = FollowCursor(
            view, 4, c.command == &COrielView::OnRecordPlayPlayAll ? "view_play_audio_box.png" : nullptr);
        EXPECT_FALSE(view.IsPlayCursorRunning());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_GT(std::set<int>(seen.begin(), seen.end()).size(), 2u) << "the cursor moved with the blocks";
        EXPECT_EQ(PlayCursorX(ch, static_cast<double>(c.range.end) * 1000.0 / 11025.0), view.LastPlayCursorX());
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->Outstanding() == 0 && !box->IsPlaying(); }, 5000));
        const std::vector<float> played = box->PlayedChannel(0);
        ASSERT_GE(played.size(), before + static_cast<std::size_t>(c.range.Count()));
        for (std::int64_t k = 0; k < c.range.Count(); ++k) {
            float x = 0.0f;
            ASSERT_TRUE(ch.ReadSample(c.range.first + k, x));
            ASSERT_EQ(Decoded(x), played[before + static_cast<std::size_t>(k)]) << k;
        }
        EXPECT_EQ(0.0f, played[before + static_cast<std::size_t>(c.range.Count())]) << "silence after the range";
    }
    bool setupSent = false;
    for (const auto& r : box->RequestLog())
        setupSent |= r.setup.bRequest == platform::usb::SimulatedAudioBox::kDspSetup;
    EXPECT_TRUE(setupSent);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
}

TEST_F(ViewPlayAudioBox, AnalysisPanesPlayEachRangeWithTheirOwnCursorAndStopWithThem) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    ForBothPanes(doc, [&](auto pane) { PlayThroughPane(doc, std::move(pane)); });
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
}

TEST_F(ViewPlayAudioBox, APressStopsItAndAViewThatGoesLeavesNothingPlaying) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    COrielDoc doc(app, prompts);
    ASSERT_TRUE(OpenTone(doc));
    auto view = std::make_unique<COrielView>(doc);
    Show(*view);
    // A box that takes one transfer every 40 ms.
    box->StartClock(std::chrono::milliseconds(40), 1);
    PressWhilePlayingAll(*view);
    EXPECT_FALSE(app.acquisition.usbThread->IsBusy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->Outstanding() == 0 && !box->IsPlaying(); }, 5000));
    const std::size_t played = box->PlayedChannel(0).size();
    EXPECT_LT(played, 11025u);
    EXPECT_EQ(box->RequestLog().back().setup.bRequest, platform::usb::SimulatedAudioBox::kStop);
    QTest::qWait(200);
    EXPECT_EQ(played, box->PlayedChannel(0).size()) << "played after the press";

    // The view goes while the box plays its samples: the worker stops first.
    view->OnRecordPlayPlayAll();
    QTest::qWait(100);
    ASSERT_TRUE(app.acquisition.usbThread->IsBusy());
    view.reset();
    EXPECT_FALSE(app.acquisition.usbThread->IsBusy());
    EXPECT_EQ(0u, box->Outstanding());
}

}  // namespace
}  // namespace vocomet
