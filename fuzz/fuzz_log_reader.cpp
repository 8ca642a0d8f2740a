// Feeds arbitrary bytes to the measurement log's reader: every input must end
// as a table or a refusal, never a crash or a hang. A table read is written
// back as text and read again, which must give the same table size.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/GridModel.h"
#include "app/LogFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vocomet::GridModel grid;
    if (vocomet::ParseLogText(text, grid) != vocomet::LogReadStatus::Ok)
        return 0;
    const std::string written = vocomet::BuildLogText(grid);
    vocomet::GridModel again;
    if (vocomet::ParseLogText(written, again) != vocomet::LogReadStatus::Ok ||
        again.GetColumnCount() != grid.GetColumnCount() || again.GetRowCount() != grid.GetRowCount())
        std::abort();
    return 0;
}
