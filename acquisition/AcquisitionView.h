#pragma once
// What the acquisition workers and the sound-card objects do to the window
// that started them. They call these from their own threads: an
// implementation hands each call over to the user-interface thread and never
// touches a widget directly.

#include <cstddef>
#include <cstdint>

namespace vocomet {

// Base of the worker message ids (the platform's first user message).
inline constexpr int kWorkerMessageBase = 0x0400;

// Timer ids the workers set on the main view.
inline constexpr int kRecordingMonitorTimer = 3;
inline constexpr int kPlayCursorTimer = 4;

class AcquisitionView {
public:
    virtual ~AcquisitionView() = default;

    // Sets the view's one-shot timer (3 while recording, 4 for each block
    // played), normally 1 ms.
    virtual void SetViewTimer(int timerId, int milliseconds) = 0;
    // The latest block sampled by the first-generation worker: two channels
    // interleaved, 24-bit values in 32-bit ints. The block stays valid until
    // the worker stores the next one.
    virtual void StoreLatestBlock(const std::int32_t* samples, std::size_t frames) = 0;
    // Playback has ended: the view's play cursor stops.
    virtual void ClearPlayCursorRunning() = 0;
    // The first-generation play block size of the view (16384 at first; the
    // play commands set 8192).
    virtual int GetPlayBlockSize() const = 0;
};

}  // namespace vocomet
