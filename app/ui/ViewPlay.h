#pragma once
// The Record/Play menu's play commands and Options > Record/Play, routed to
// the active document's main view, and the play cursor a view keeps for
// whichever road plays its sound.

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>

#include "acquisition/AcquisitionState.h"
#include "acquisition/CSoundOut.h"
#include "app/PlayRoute.h"
#include "app/ui/COrielView.h"

class QMainWindow;
class QMenu;

namespace vocomet {

class CChildFrame;

// What a view keeps of the playback it started. A child of the view: it
// goes with it, and first makes sure no player thread can reach it.
class ViewPlayback final : public QObject, public SoundOutClient {
public:
    // How often the cursor is moved while sound plays.
    static constexpr int kTickMs = 20;

    ViewPlayback(COrielView& view, AcquisitionState& acquisition)
        : QObject(&view), m_view(view), m_acquisition(acquisition) {
        m_tick.setInterval(kTickMs);
        QObject::connect(&m_tick, &QTimer::timeout, this, [this] { m_view.AdvancePlayCursor(); });
    }

    // Runs while the view goes (its own parts are gone): only the
    // acquisition state is touched. The output this view plays stops, and
    // with it every call from its threads.
    ~ViewPlayback() override {
        if (Ours())
            m_acquisition.StopSoundOutput();
    }

    // Feeding thread: only queued to the view's thread.
    void OnBlockPlayed(std::int64_t) override {
        QMetaObject::invokeMethod(this, [this] { m_view.AdvancePlayCursor(); }, Qt::QueuedConnection);
    }
    void OnPlayEnded() override {
        QMetaObject::invokeMethod(this, [this] { m_view.AdvancePlayCursor(); }, Qt::QueuedConnection);
    }

    bool Ours() const { return m_acquisition.soundOut && m_acquisition.soundOut->GetClient() == this; }

    // clockDriven: the cursor follows the time since now, not the sound
    // card's stream.
    void Begin(const PlayRange& range, double rate, bool clockDriven = false) {
        m_running = true;
        m_clockDriven = clockDriven;
        m_clock.start();
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
        const int h = m_view.viewport()->height();
        if (m_drawnX >= 0)
            m_view.viewport()->update(QRect(m_drawnX, 0, 1, h));
        m_drawnX = x;
        if (m_drawnX >= 0)
            m_view.viewport()->update(QRect(m_drawnX, 0, 1, h));
    }

    COrielView& m_view;
    AcquisitionState& m_acquisition;
    QTimer m_tick;
    QElapsedTimer m_clock;
    bool m_running = false;
    bool m_clockDriven = false;
    double m_rate = 1.0;
    double m_startMs = 0.0;
    double m_endMs = 0.0;
    int m_drawnX = -1;  // the column drawn now
    int m_lastX = -1;   // where the cursor stands or stood
};


// Adds the "Record/Play" menu (before the Options menu) with Play All, Play
// Selection and Play Window, and "Record/Play..." to optionsMenu. Their
// enabling follows the active document: Play All while a document is
// active, Play Window with data, Play Selection with data and a shown
// selection; the options command is named "Sonetta Play..." while the audio
// box is present.
void AddPlayCommands(QMainWindow& mainFrame, QMenu& optionsMenu, const std::function<CChildFrame*()>& activeFrame);

}  // namespace vocomet
