#include "core/ChannelSetup.h"

#include <algorithm>

namespace vocomet {

void SetChannelSetupDefaults(ChannelSetupArray& setup, int hardwareChannelCount) {
    const int count = std::clamp(hardwareChannelCount, 0, kChannelSetupCount);
    for (int i = 0; i < count; ++i)
        setup[i] = ChannelSetup{};

    setup[0].enabled = 1;
    setup[0].sampleRate = 22050;
    setup[0].filterCutoff = 8000;
    setup[0].gain = 200;
    setup[0].connector = "Mask";
    for (int i = 1; i < count; ++i) {
        setup[i].enabled = 1;
        setup[i].sampleRate = 22050;
        setup[i].filterCutoff = 150;
        setup[i].gain = 1;
        setup[i].connector = "Mask";
    }
    setup[kPlayChannelSetup].sampleRate = 11025;
}

bool IsOfferedGain(int element, int gain) {
    if (element == 0)
        return gain >= 100 && gain <= 800 && gain % 100 == 0;
    constexpr std::array<int, 8> kChannelGains{1, 2, 4, 6, 8, 10, 15, 20};
    return std::find(kChannelGains.begin(), kChannelGains.end(), gain) != kChannelGains.end();
}

int DefaultGain(int element) { return element == 0 ? 200 : 1; }

}  // namespace vocomet
