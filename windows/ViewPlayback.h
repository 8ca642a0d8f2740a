#pragma once
// The play cursor a window keeps for whichever road plays its sound (the
// main view, the pitch and spectrogram panes), and playing a document's
// range on the road the main view takes: the audio box, the sixteen-channel
// system or the sound card. UI thread only, but for the device threads'
// reports, which are only noted and queued to the window's thread.

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <atomic>
#include <functional>
#include <vector>

#include "acquisition/AcquisitionState.h"
#include "acquisition/CSoundOut.h"
#include "acquisition/CUSBThread.h"
#include "app/PlayRoute.h"

class QWidget;

namespace vocomet {

class COrielDoc;

// What a window keeps of the playback it started (the main view, the pitch
// and spectrogram panes). A child of the window: it goes with it, and first
// makes sure no player thread can reach it.
//
// What moves the play cursor: the sound card's stream clock, the frames
// the audio box's worker reports played, or, for a device that reports
// nothing (the sixteen-channel system), the time since the playback began.
// `advance` runs on the window's thread whenever the cursor may have moved;
// `repaintColumn` repaints one column of the window.
class ViewPlayback final : public QObject, public SoundOutClient, public UsbThreadClient {
public:
    // How often the cursor is moved while sound plays.
    static constexpr int kTickMs = 20;

    enum class Source { SoundCard, Clock, AudioBox };

    ViewPlayback(QObject& owner, AcquisitionState& acquisition, std::function<void()> advance,
                 std::function<void(int)> repaintColumn)
        : QObject(&owner),
          m_acquisition(acquisition),
          m_advance(std::move(advance)),
          m_repaintColumn(std::move(repaintColumn)) {
        m_tick.setInterval(kTickMs);
        QObject::connect(&m_tick, &QTimer::timeout, this, [this] { m_advance(); });
    }

    // Runs while the window goes (its own parts are gone): only the
    // acquisition state is touched. The output this window plays stops, and
    // with it every call from its threads; the audio box's worker stops a
    // playback of this window's samples and forgets this client.
    ~ViewPlayback() override {
        if (Ours())
            m_acquisition.StopSoundOutput();
        if (m_cookie && m_acquisition.usbThread) {
            if (m_boxPlaying && !m_deviceEnded.load())
                m_acquisition.usbThread->StopRun();
            m_acquisition.usbThread->UnregisterClient(m_cookie);
        }
    }

    // Feeding or worker thread: only noted and queued to the window's thread.
    void OnBlockPlayed(std::int64_t frames) override {
        m_deviceFrames.store(frames);
        QMetaObject::invokeMethod(this, [this] { m_advance(); }, Qt::QueuedConnection);
    }
    void OnPlayEnded() override {
        QMetaObject::invokeMethod(this, [this] { m_advance(); }, Qt::QueuedConnection);
    }
    void OnRunEnded() override {
        m_deviceEnded.store(true);
        QMetaObject::invokeMethod(this, [this] { m_advance(); }, Qt::QueuedConnection);
    }

    bool Ours() const { return m_acquisition.soundOut && m_acquisition.soundOut->GetClient() == this; }

    // The audio box's road: this window's cookie with the application's
    // worker (registered at the first playback).
    int Cookie(CUSBThread& worker) {
        if (!m_cookie)
            m_cookie = worker.RegisterClient(this);
        return m_cookie;
    }
    // Ends a playback of this window on the audio box (stop flag, then its
    // end waited for); true when one was going.
    bool StopBox() {
        // A run that has ended is not stopped again: the worker may have
        // gone on to someone else's.
        const bool was = m_boxPlaying && !m_deviceEnded.load();
        m_boxPlaying = false;
        if (was && m_acquisition.usbThread)
            m_acquisition.usbThread->StopRun();
        return was;
    }
    // Ends a playback of this window on the sixteen-channel system; true
    // when one was going.
    bool StopRendal();
    // Stops whatever this window plays on any road and ends the cursor;
    // true when sound or the cursor was going.
    bool StopAll();

    // Where the sound is now. `gone`: it was stopped or replaced by someone
    // else (the cursor goes); `ended`: it has played to its end (timeMs is
    // where it stopped).
    struct Position {
        double timeMs = 0.0;
        bool ended = false;
        bool gone = false;
    };
    Position Now();
    // Moves the cursor to where the sound is (x from its time); at the end
    // the cursor stops there and leaves the picture. True while it runs.
    bool Advance(const std::function<int(double)>& timeToX);

    void Begin(const PlayRange& range, double rate, Source source = Source::SoundCard) {
        m_running = true;
        m_source = source;
        m_clock.start();
        m_deviceFrames.store(0);
        m_deviceEnded.store(false);
        m_rate = rate;
        m_startMs = static_cast<double>(range.first) * 1000.0 / rate;
        m_endMs = static_cast<double>(range.end) * 1000.0 / rate;
        m_tick.start();
    }

    // Ends the cursor; what it covered is shown again.
    void End() {
        m_running = false;
        m_tick.stop();
        MoveDrawn(-1);
    }

    void MoveDrawn(int x) {
        if (x == m_drawnX)
            return;
        if (m_drawnX >= 0)
            m_repaintColumn(m_drawnX);
        m_drawnX = x;
        if (m_drawnX >= 0)
            m_repaintColumn(m_drawnX);
    }

    AcquisitionState& m_acquisition;
    std::function<void()> m_advance;
    std::function<void(int)> m_repaintColumn;
    QTimer m_tick;
    QElapsedTimer m_clock;
    bool m_running = false;
    Source m_source = Source::SoundCard;
    // The audio box's road: the samples its worker plays (they travel
    // with the request and stay until the run has ended), its progress.
    int m_cookie = 0;
    bool m_boxPlaying = false;
    std::vector<float> m_box0;
    std::vector<float> m_box1;
    std::atomic<std::int64_t> m_deviceFrames{0};
    std::atomic<bool> m_deviceEnded{false};
    double m_rate = 1.0;
    double m_startMs = 0.0;
    double m_endMs = 0.0;
    int m_drawnX = -1;  // the column drawn now
    int m_lastX = -1;   // where the cursor stands or stood
    // The sixteen-channel system's worker of this window (made on first use).
    class RendalViewPlayback* m_rendal = nullptr;
};

// Plays range of the document through the road the main view takes (the
// audio box, the sixteen-channel system or the sound card) and starts
// playback's cursor; false when nothing plays (a cursor still going is
// ended on the device roads).
bool PlayOnRoad(COrielDoc& doc, ViewPlayback& playback, const PlayRange& range);
// An analysis pane's playback: its cursor is a column of the pane.
ViewPlayback* MakePanePlayback(QWidget& pane, AcquisitionState& acquisition, std::function<void()> advance);
// What an analysis pane plays: range on the main view's road, the audio box
// playing a selection or a window from and to whole groups of four samples.
// False when nothing plays.
bool PlayFromPane(COrielDoc& doc, ViewPlayback& playback, PlayRange range, PlayMode mode);
// The sixteen-channel system's part of it: a playback of this window still
// going stops first; false when nothing was posted.
bool PlayThroughRendal(const COrielDoc& doc, ViewPlayback& playback, const PlayRange& range);

}  // namespace vocomet
