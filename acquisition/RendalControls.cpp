#include "acquisition/RendalControls.h"

#include <algorithm>
#include <cstdio>

#include "platform/ByteCodec.h"

namespace vocomet {

namespace {

int CodeIn(const std::array<int, 8>& list, int value, int previous) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == value)
            return static_cast<int>(i);
    return previous;
}

}  // namespace

int RendalFilterCode(int cutoff, int previous) { return CodeIn(kRendalFilterCutoffs, cutoff, previous); }
int RendalGainCode(int gain, int previous) { return CodeIn(kRendalChannelGains, gain, previous); }

std::uint8_t RendalAudioByte(int dcBit, int micBit, int frontPanelBit, int gainIndex) {
    return static_cast<std::uint8_t>(((dcBit ? 32 : 0) | (micBit ? 16 : 0) | (frontPanelBit ? 8 : 0) |
                                      (gainIndex & 7)) & 0x3F);
}

std::vector<RendalControlWord> RendalChannelPairWords(const std::vector<RendalChannelRow>& rows,
                                                      bool twoChannelLayout) {
    std::vector<RendalControlWord> words;
    int filterCode = 0;
    int gainCode = 0;
    const auto byteOf = [&](const RendalChannelRow& row) {
        filterCode = RendalFilterCode(row.filter, filterCode);
        gainCode = RendalGainCode(row.gain, gainCode);
        const bool sourceBit = row.source == (twoChannelLayout ? "BNC" : "Mask");
        return static_cast<std::uint8_t>(gainCode << 3 | filterCode | (sourceBit ? 64 : 0));
    };
    for (std::size_t i = 0; i < rows.size(); i += 2) {
        RendalControlWord w;
        w.value = static_cast<std::uint16_t>(i / 2 + 1);
        w.data[0] = byteOf(rows[i]);
        w.data[1] = i + 1 < rows.size() ? byteOf(rows[i + 1]) : w.data[0];
        words.push_back(w);
    }
    return words;
}

std::string RendalRecordTime(double blocks, int rate) {
    if (rate <= 0)
        return "0:0";
    const auto seconds = static_cast<long long>(1024.0 / rate * blocks);
    char text[48];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, " %lld:%lld:%lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, " %lld:%lld", seconds / 60 % 60, seconds % 60);
    std::string s = text;
    s.erase(0, s.find_first_not_of(' '));
    return s;
}

std::array<std::vector<float>, 16> SplitRendalBlockForDisplay(const std::uint8_t* data, std::size_t bytes) {
    const std::size_t frames = bytes / 32;
    std::array<std::vector<float>, 16> out;
    for (auto& c : out)
        c.resize(frames);
    for (std::size_t k = 0; k < frames; ++k)
        for (int w = 0; w < 16; ++w)
            out[static_cast<std::size_t>(w)][k] =
                static_cast<float>(platform::GetI16LE(data + 32 * k + 2 * static_cast<std::size_t>(w))) / 32768.0f;
    for (std::size_t k = 0; k < frames; ++k)
        out[0][k] = (((out[1][k] + out[0][k]) + out[2][k]) + out[3][k]) * 0.25f;
    return out;
}

void SplitScopeBlock(const std::uint8_t* data, std::size_t bytes, std::array<std::vector<std::int16_t>, 16>& out) {
    const std::size_t frames = bytes / 32;
    for (int c = 0; c < 16; ++c) {
        auto& v = out[static_cast<std::size_t>(c)];
        const std::size_t n = std::min(frames, v.size());
        for (std::size_t k = 0; k < n; ++k)
            v[k] = platform::GetI16LE(data + 2 * (16 * k + static_cast<std::size_t>(c)));
    }
}

}  // namespace vocomet
