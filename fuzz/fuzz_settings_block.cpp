// Feeds arbitrary bytes as the settings file of the temp folder and runs
// what start-up does with it: the start-up read (writing the defaults over a
// missing or foreign file), the placements kept on the desktop, and the
// first document's read of its part. Every input must end with settings the
// program can use, never a crash or a hang: every window placement is
// either never placed or lies on the desktop at a usable size.

#include <cstdlib>

#include "FuzzSupport.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"

namespace {

// A desktop of 1920 x 1080 with a panel over its top 32 pixels.
constexpr platform::Rect kDesktop{0, 32, 1920, 1080};

bool Usable(int slot, const vocomet::WindowPlacement& p) {
    if (vocomet::IsUnplaced(p))
        return true;
    const bool floating = vocomet::IsFloatingPlacement(slot);
    const platform::Rect area = floating ? kDesktop : platform::Rect{0, 0, kDesktop.Width(), kDesktop.Height()};
    const bool corners = floating;  // left, top, right, bottom
    const int width = slot == vocomet::kPlacementRecordPlay ? vocomet::kRecordPlayPlacedWidth
                      : corners                               ? p[2] - p[0]
                                                              : p[2];
    const int height = slot == vocomet::kPlacementRecordPlay ? vocomet::kRecordPlayPlacedHeight
                       : corners                               ? p[3] - p[1]
                                                               : p[3];
    return width >= vocomet::kMinPlacedSide && height >= vocomet::kMinPlacedSide && p[0] >= area.left &&
           p[1] >= area.top && p[0] + width <= area.right && p[1] + height <= area.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = vocomet::ConfigurationFilePath(fuzzing::WorkFolder().string());
    fuzzing::WriteInput(path, data, size);

    vocomet::ApplicationSettings app;
    app.desktop = kDesktop;
    if (!vocomet::LoadConfigurationBlock(path, app))
        std::abort();  // the folder is writable: the defaults must go in
    for (int slot = 0; slot < vocomet::kPlacementCount; ++slot)
        if (!Usable(slot, app.placements[slot]))
            std::abort();

    vocomet::DocumentSettings document;
    vocomet::ReadDocumentConfiguration(path, app, document);
    return 0;
}
