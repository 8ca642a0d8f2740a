#pragma once
// What the sixteen-channel record form and the scope compute without a
// window: the control words of the analogue front end, the record-time
// text, and the blocks of sixteen interleaved words split into channels.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vocomet {

// The filter cutoffs (Hz) and channel gains the front end offers, in code
// order, and the audio gains of the form's combo ("100" .. "800").
inline constexpr std::array<int, 8> kRendalFilterCutoffs{2, 10, 40, 150, 300, 1000, 4000, 8000};
inline constexpr std::array<int, 8> kRendalChannelGains{1, 2, 4, 6, 8, 10, 15, 20};

// The code of a cutoff or a gain; a value outside the list keeps previous.
int RendalFilterCode(int cutoff, int previous);
int RendalGainCode(int gain, int previous);

// The audio control word's first byte: gain index 0..7, front-panel bit 8,
// microphone bit 16, DC bit 32.
std::uint8_t RendalAudioByte(int dcBit, int micBit, int frontPanelBit, int gainIndex);

// One row of the channel grid as the form reads it.
struct RendalChannelRow {
    int enabled = 1;
    std::string coupling = "DC";  // two-channel layout only
    int filter = 8000;
    std::string source = "Mask";
    int gain = 1;
};

struct RendalControlWord {
    std::uint16_t value = 0;
    std::uint8_t data[2] = {0, 0};
};

// The channel-pair words for the grid rows of a system of count channels:
// word n (value n) carries row 2(n-1) in byte 0 and the next row in byte 1
// (a system with one row repeats it). Each byte is gain code << 3 | filter
// code | 64 when the source is "Mask" (in the two-channel layout: "BNC").
std::vector<RendalControlWord> RendalChannelPairWords(const std::vector<RendalChannelRow>& rows,
                                                      bool twoChannelLayout);

// The DC bit a coupling text gives: 0 for "AC", else 32.
inline int RendalDcBitOf(const std::string& coupling) { return coupling == "AC" ? 0 : 32; }

// " %d:%d" (minutes within the hour, seconds) or, from an hour on,
// " %d:%d:%d", trimmed: the time of blocks of 1024 frames at rate.
std::string RendalRecordTime(double blocks, int rate);

// A block of whole frames split into sixteen channels of word / 32768,
// channel 0 then replaced by the mean of channels 0 to 3.
std::array<std::vector<float>, 16> SplitRendalBlockForDisplay(const std::uint8_t* data, std::size_t bytes);

// The scope's split: sample k of channel c is word 16 k + c; as many
// samples as the block has whole frames, at most capacity.
void SplitScopeBlock(const std::uint8_t* data, std::size_t bytes, std::array<std::vector<std::int16_t>, 16>& out);

}  // namespace vocomet
