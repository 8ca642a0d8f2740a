// Feeds arbitrary bytes to the PlotFormant table reader, both the labelled
// form and the numbers-only form: every input must end as a table or a
// refusal, never a crash or a hang. A table read is written back and read
// again, which must give the same rows: frequencies stay within a cell's
// range and labels that reach the file hold nothing the reader would split.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "analysis/PlotFormantFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<vocomet::PlotFormantRow> numbers;
    vocomet::ParseFormantNumbersText(text, numbers);
    if (numbers.size() > static_cast<std::size_t>(vocomet::kPlotFormantMaxRows))
        std::abort();

    std::vector<vocomet::PlotFormantRow> rows;
    vocomet::ParsePlotFormantText(text, rows);
    if (rows.size() > static_cast<std::size_t>(vocomet::kPlotFormantMaxRows))
        std::abort();
    for (vocomet::PlotFormantRow& row : rows) {
        for (const auto& f : {row.f1, row.f2, row.f3})
            if (f && (*f < 0 || *f > vocomet::kPlotFormantMaxHz))
                std::abort();
        // What the writer gives for an empty cell and an unwritable byte.
        row.f3 = row.f3.value_or(0);
        for (char& c : row.label)
            if (!vocomet::IsPlotFormantLabelAllowed(std::string_view(&c, 1)))
                c = ' ';
        // A label the reader trims (leading quote-less text) comes back as
        // written between quotes.
    }
    std::vector<vocomet::PlotFormantRow> again;
    if (vocomet::ParsePlotFormantText(vocomet::BuildPlotFormantText(rows), again) !=
            vocomet::PlotFormantParse::Ok ||
        again != rows)
        std::abort();
    return 0;
}
