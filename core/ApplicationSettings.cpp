#include "core/ApplicationSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/ConfigurationBlock.h"

namespace vocomet {

namespace {

// The int at off, or current when the file did not reach it.
int IntOr(const ConfigurationBlock& block, std::size_t off, int current) {
    return block.Has(off, 4) ? block.View().I32LE(off) : current;
}

std::string TextOrEmpty(const ConfigurationBlock& block, std::size_t off, std::size_t size) {
    return block.Has(off, size) ? block.View().Text(off, size) : std::string();
}

bool IsFlag(int v) { return v == 0 || v == 1; }
bool IsAny(int) { return true; }
bool IsNonNegative(int v) { return v >= 0; }

// The values the recording forms offer for each of their seventeen ints.
bool IsAudioBoxRate(int v) { return v == 11025 || v == 22050 || v == 44100; }
bool IsAudioBoxChannels(int v) { return v == 1 || v == 2; }
bool IsAudioBoxGain(int v) {
    // The gain table, and 20 for the line input.
    constexpr std::array<int, 11> kGains{10, 20, 30, 50, 80, 100, 200, 300, 500, 700, 800};
    return std::find(kGains.begin(), kGains.end(), v) != kGains.end();
}
bool IsAudioBoxGainIndex(int v) { return v >= 0 && v <= 9; }
bool IsScopeFftPoints(int v) { return v >= 64 && v <= 1024 && (v & (v - 1)) == 0; }
bool IsScopeRangeDb(int v) { return v >= 30 && v <= 100 && v % 10 == 0; }
bool IsPlayGainIndex(int v) { return v >= 0 && v <= 21; }
bool IsPlayAttenuation(int v) { return v >= 0 && v <= 1023; }

using IntCheck = bool (*)(int);
constexpr std::array<IntCheck, kRecordingFormSettingCount> kRecordingFormChecks{
    IsAudioBoxRate,      // audio box sample rate
    IsAudioBoxChannels,  // mono or stereo
    IsFlag,              // input source index: Mic or Line
    IsAudioBoxGain,      // gain value
    IsAudioBoxGainIndex, // gain index
    IsFlag,              // phantom power
    IsFlag,              // balance
    IsScopeFftPoints,    // scope FFT points
    IsScopeRangeDb,      // scope dynamic range
    IsNonNegative,       // stored frequency range, clamped to the rate when the form opens
    IsFlag,              // scope display mode
    IsAny,               // DSP setup value, passed to the device as it is
    IsFlag,              // talk-through
    IsPlayGainIndex,     // record/play attenuation entry
    IsAny,               // audio-box play word, written back unchanged
    IsPlayAttenuation,   // play attenuation
    IsFlag,              // play route
};

// The largest rate the block's rate may hold: every whole-number step of
// the rate-derived defaults stays within an int.
constexpr double kMaxSampleRate = 2147483647.0;

void ReadPlacements(const ConfigurationBlock& block, ApplicationSettings& s) {
    for (int slot = 0; slot < kPlacementCount; ++slot) {
        for (int j = 0; j < 4; ++j)
            s.placements[slot][j] = IntOr(block, cfg::kPlacementsAt + 16 * slot + 4 * j, s.placements[slot][j]);
        s.placements[slot] = PlacementOnDesktop(slot, s.placements[slot], s.desktop);
    }
}

}  // namespace

WindowPlacement PlacementOnDesktop(int slot, const WindowPlacement& stored, const platform::Rect& desktop) {
    if (IsUnplaced(stored) || desktop.IsEmpty())
        return stored;
    // In 64 bits: a right minus a left of the int range overflows an int.
    const std::int64_t areaLeft = IsFloatingPlacement(slot) ? desktop.left : 0;
    const std::int64_t areaTop = IsFloatingPlacement(slot) ? desktop.top : 0;
    const std::int64_t areaWidth = std::int64_t{desktop.right} - desktop.left;
    const std::int64_t areaHeight = std::int64_t{desktop.bottom} - desktop.top;
    std::int64_t left = stored[0];
    std::int64_t top = stored[1];
    std::int64_t width = stored[2];
    std::int64_t height = stored[3];
    if (slot == kPlacementRecordPlay) {
        width = kRecordPlayPlacedWidth;
        height = kRecordPlayPlacedHeight;
    } else if (IsFloatingPlacement(slot)) {
        width -= left;
        height -= top;
    }
    if (width < kMinPlacedSide || height < kMinPlacedSide)
        return WindowPlacement{};
    width = std::min(width, areaWidth);
    height = std::min(height, areaHeight);
    left = std::clamp(left, areaLeft, areaLeft + areaWidth - width);
    top = std::clamp(top, areaTop, areaTop + areaHeight - height);
    const auto i = [](std::int64_t v) { return static_cast<int>(v); };
    if (IsFloatingPlacement(slot))
        return {i(left), i(top), i(left + width), i(top + height)};
    return {i(left), i(top), i(width), i(height)};
}

std::string AcceptedInputSource(const std::string& text) {
    return text == kInputMic || text == kInputLine ? text : std::string(kInputMic);
}

std::string AcceptedOutputRoute(const std::string& text) {
    return text == kOutputComputer || text == kOutputExternal ? text : std::string(kOutputComputer);
}

void ReadStartupApplicationPart(const ConfigurationBlock& block, ApplicationSettings& s) {
    s.inputSource = AcceptedInputSource(TextOrEmpty(block, cfg::kInputSourceAt, cfg::kRoutingTextSize));
    s.outputRoute = AcceptedOutputRoute(TextOrEmpty(block, cfg::kOutputRouteAt, cfg::kOutputRouteSize));

    for (int i = 0; i < kPlayChannelSetup; ++i) {
        const std::string text = TextOrEmpty(block, cfg::kConnectorAt + cfg::kConnectorSize * i, cfg::kConnectorSize);
        s.channelSetup[i].connector = text.empty() ? std::string("Mask") : text;
    }
    for (int i = 0; i < kChannelSetupCount; ++i) {
        ChannelSetup& c = s.channelSetup[i];
        c.enabled = IntOr(block, cfg::kChannelEnabledAt + 4 * i, c.enabled);
        const int gain = IntOr(block, cfg::kChannelGainAt + 4 * i, c.gain);
        c.gain = IsOfferedGain(i, gain) ? gain : DefaultGain(i);
        // The hardware always starts at these, whatever was saved.
        c.sampleRate = 22050;
        c.filterCutoff = 8000;
    }

    ReadPlacements(block, s);
    for (int i = 0; i < kRecordingFormSettingCount; ++i) {
        const std::size_t off = cfg::kRecordingFormAt + 4 * i;
        if (!block.Has(off, 4))
            continue;
        const int v = block.View().I32LE(off);
        s.recordingForm[i] = kRecordingFormChecks[i](v) ? v : kInitialRecordingFormSettings[i];
    }

    if (block.Has(cfg::kSampleRateAt, 8)) {
        const double rate = block.View().F64LE(cfg::kSampleRateAt);
        if (std::isfinite(rate) && rate >= 1.0 && rate <= kMaxSampleRate)
            s.currentSampleRate = rate;
    }
}

void ApplyLoadedApplicationPart(const ConfigurationBlock& block, ApplicationSettings& s) {
    s.playGridChannel = IntOr(block, cfg::kPlayGridChannelAt, s.playGridChannel);
    s.inputSource = AcceptedInputSource(TextOrEmpty(block, cfg::kInputSourceAt, cfg::kRoutingTextSize));
    s.outputRoute = AcceptedOutputRoute(TextOrEmpty(block, cfg::kOutputRouteAt, cfg::kOutputRouteSize));

    for (int i = 0; i < kChannelSetupCount; ++i) {
        ChannelSetup& c = s.channelSetup[i];
        c.enabled = IntOr(block, cfg::kChannelEnabledAt + 4 * i, c.enabled);
        const int rate = IntOr(block, cfg::kChannelRateAt + 4 * i, c.sampleRate);
        if (rate >= 1000 && rate <= 45000)
            c.sampleRate = rate;
        const int cutoff = IntOr(block, cfg::kChannelCutoffAt + 4 * i, c.filterCutoff);
        if (cutoff >= 0 && cutoff <= 8000)
            c.filterCutoff = cutoff;
        const int gain = IntOr(block, cfg::kChannelGainAt + 4 * i, c.gain);
        if (gain >= 0 && gain <= 350)
            c.gain = gain;
    }
    ReadPlacements(block, s);
}

void PutPlayGridChannel(ConfigurationBlock& block, const ApplicationSettings& s) {
    block.Span().I32LE(cfg::kPlayGridChannelAt, s.playGridChannel);
}

void PutRoutingTexts(ConfigurationBlock& block, const ApplicationSettings& s) {
    block.Span().Text(cfg::kInputSourceAt, cfg::kRoutingTextSize, s.inputSource);
    block.Span().Text(cfg::kOutputRouteAt, cfg::kOutputRouteSize, s.outputRoute);
}

void PutRecordPlaySetting(ConfigurationBlock& block, const ApplicationSettings& s) {
    block.Span().I32LE(cfg::kRecordPlaySettingAt, s.recordPlaySetting);
}

void PutChannelSetupArrays(ConfigurationBlock& block, const ChannelSetupArray& setup) {
    const platform::ByteSpan b = block.Span();
    for (int i = 0; i < kChannelSetupCount; ++i) {
        b.I32LE(cfg::kChannelEnabledAt + 4 * i, setup[i].enabled);
        b.I32LE(cfg::kChannelRateAt + 4 * i, setup[i].sampleRate);
        b.I32LE(cfg::kChannelCutoffAt + 4 * i, setup[i].filterCutoff);
        b.I32LE(cfg::kChannelGainAt + 4 * i, setup[i].gain);
    }
}

void PutConnectorTexts(ConfigurationBlock& block, const ChannelSetupArray& setup) {
    for (int i = 0; i < kPlayChannelSetup; ++i)
        block.Span().Text(cfg::kConnectorAt + cfg::kConnectorSize * i, cfg::kConnectorSize, setup[i].connector);
}

void PutPlacements(ConfigurationBlock& block, const ApplicationSettings& s) {
    for (int slot = 0; slot < kPlacementCount; ++slot)
        for (int j = 0; j < 4; ++j)
            block.Span().I32LE(cfg::kPlacementsAt + 16 * slot + 4 * j, s.placements[slot][j]);
}

void PutRecordingFormSettings(ConfigurationBlock& block, const ApplicationSettings& s) {
    for (int i = 0; i < kRecordingFormSettingCount; ++i)
        block.Span().I32LE(cfg::kRecordingFormAt + 4 * i, s.recordingForm[i]);
}

}  // namespace vocomet
