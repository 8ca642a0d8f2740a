#pragma once
// Shared helpers of the settings-block tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/ApplicationSettings.h"
#include "core/ConfigurationBlock.h"
#include "support/TestPaths.h"

namespace vocomet::test {

// The application state the golden blocks were made for (see
// tests/core/golden/make_configuration_golden.py).
inline ApplicationSettings GoldenApplication() {
    ApplicationSettings a;
    SetChannelSetupDefaults(a.channelSetup, 3);
    a.inputSource = "Mic";
    a.outputRoute = "Computer";
    for (int i = 0; i < kPlacementCount; ++i)
        a.placements[i] = {100 * i + 1, 100 * i + 2, 100 * i + 3, 100 * i + 4};
    a.currentSampleRate = 44100.0;
    return a;
}

// A block whose every byte is a recognisable, position-dependent value.
inline ConfigurationBlock SentinelBlock(bool withSignature) {
    ConfigurationBlock b;
    for (std::size_t i = 0; i < b.size(); ++i)
        b.data()[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 31));
    if (withSignature)
        b.PutSignature();
    return b;
}

inline ConfigurationBlock BlockFromBytes(const std::string& bytes) {
    ConfigurationBlock b;
    EXPECT_EQ(bytes.size(), b.size());
    for (std::size_t i = 0; i < b.size() && i < bytes.size(); ++i)
        b.data()[i] = static_cast<std::uint8_t>(bytes[i]);
    return b;
}

inline std::string BytesOf(const ConfigurationBlock& b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

inline void WriteBlockFile(const std::string& path, const ConfigurationBlock& b) { WriteAll(path, BytesOf(b)); }

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;  // [begin, end)

// Every byte outside the allowed ranges must be as it was.
inline void ExpectOnlyChanged(const ConfigurationBlock& before, const ConfigurationBlock& after,
                              const Ranges& allowed) {
    int reported = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        bool inside = false;
        for (const auto& [b, e] : allowed)
            inside = inside || (i >= b && i < e);
        if (!inside && before.data()[i] != after.data()[i] && reported++ < 5)
            ADD_FAILURE() << "byte " << i << " changed outside the writer's fields";
    }
}

}  // namespace vocomet::test
