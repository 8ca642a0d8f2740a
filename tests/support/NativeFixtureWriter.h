#pragma once
// A small writer of native recording files for tests, built straight from
// the byte tables of the format and sharing no code with the readers or the
// production writers: what it writes are the golden bytes those are checked
// against. Every layout is covered, with labels, calibration and units.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vocomet::test {

enum class FixtureLayout { Usb2Float, KovPcFloat24, KovPcFloat, KovPc, KovePc, KovMac };

// The type string a layout is written under.
const char* FixtureTypeString(FixtureLayout layout);

struct FixtureLabel {
    double time = 0.0;
    double relativeHeight = 0.0;
    std::int32_t anchoring = 0;
    std::int32_t markerLine = 0;
    std::array<std::int32_t, 4> rect{};  // left, top, right, bottom
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    // The font record: five int32s, eight bytes, a 32-byte face name.
    std::array<std::int32_t, 5> fontInts{-13, 0, 0, 0, 400};
    std::array<std::uint8_t, 8> fontBytes{};
    std::string faceName = "Arial";
    std::string text;
};

struct FixtureChannel {
    double duration = 0.0;  // ms; 0 means count / rate * 1000
    double rate = 22050.0;
    double sampleCount = -1.0;  // -1 means the number of samples given
    double reference = 0.0;
    double auxFactor1 = 1.0;  // "KOVE_PC" only
    double calA = 0.0, calB = 0.0, calC = 1.0, calD = 0.0;
    std::int32_t audioFlag = 0;
    std::int32_t bits = 16;
    std::int32_t scaleMode = 0;
    std::int32_t stripHeight = 100;
    std::int32_t channelNumber = 0;  // 0 means index + 1
    std::int64_t gain = 1;           // int32, uint32 in "KOV_Mac"
    std::int64_t filterRate = 5500;
    std::int32_t drawReference = 1;
    std::int32_t timeReference = 0;
    std::array<std::int32_t, 3> reserved{};
    std::string name;
    std::string unit;
    std::vector<FixtureLabel> labels;
    std::vector<float> floats;          // float layouts
    std::vector<std::int16_t> shorts;   // int16 layouts
};

struct FixtureFile {
    FixtureLayout layout = FixtureLayout::KovPcFloat24;
    std::vector<FixtureChannel> channels;
    // When set, replaces the channel count written at offset 32.
    bool overrideChannelCount = false;
    std::int32_t channelCount = 0;
};

// The bytes of the whole file. In the interleaved layouts frame k holds
// sample k of every channel (a channel with fewer samples gives 0).
std::string BuildNativeFixture(const FixtureFile& file);
void WriteNativeFixture(const std::string& path, const FixtureFile& file);

// Offsets of the parts of a built file, for tests that cut or patch it.
struct FixtureOffsets {
    std::vector<std::int64_t> channelHeader;  // start of each channel header
    std::vector<std::int64_t> samples;        // per-channel layouts: start of each channel's samples
    std::int64_t frames = 0;                  // interleaved layouts: the first frame
};
FixtureOffsets NativeFixtureOffsets(const FixtureFile& file);

// A channel of count samples of a ramp (value i * step + start).
FixtureChannel RampChannel(const std::string& name, double rate, int count, float start, float step);

}  // namespace vocomet::test
