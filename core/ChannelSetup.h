#pragma once
// Acquisition settings of the hardware channels: seventeen records, elements
// 0 to 15 for the hardware inputs and element 16 for the play (audio)
// channel. The settings block persists their first four fields and the
// connector texts of elements 0 to 15; the recording forms own the rest.

#include <array>
#include <string>

namespace vocomet {

inline constexpr int kChannelSetupCount = 17;
inline constexpr int kPlayChannelSetup = 16;

struct ChannelSetup {
    int enabled = 0;
    int sampleRate = 0;    // Hz
    int filterCutoff = 0;  // Hz
    int gain = 0;
    std::string connector;  // 8-bit text; at most 15 bytes are stored
};

using ChannelSetupArray = std::array<ChannelSetup, kChannelSetupCount>;

// The start-up defaults for the channel count the hardware probe found
// (0 when no device answered): that many records are cleared and filled,
// element 0 always gets its defaults and element 16 the play rate 11025.
void SetChannelSetupDefaults(ChannelSetupArray& setup, int hardwareChannelCount);

// The gains the record forms offer: the audio record (element 0) takes 100
// to 800 in steps of 100, every other record one of 1, 2, 4, 6, 8, 10, 15
// and 20. DefaultGain is what a record falls back to: 200 for element 0, 1
// for the others.
bool IsOfferedGain(int element, int gain);
int DefaultGain(int element);

}  // namespace vocomet
