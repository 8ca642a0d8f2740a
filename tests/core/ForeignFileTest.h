#pragma once
// What the tests of the foreign-format readers share: running the tools that
// make their files, sox's own reading of a file, comparing a channel with it
// sample for sample, and running one reader on its own.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/COrielDoc.h"
#include "core/DocumentFormats.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "support/DocumentFixture.h"
#include "support/TestPaths.h"

namespace vocomet::test {

// Opens path in document (opened tells whether it did) and counts how often
// the open offered to read the file as a generic file, which it declines.
inline int GenericOffersOpening(COrielDoc& document, const std::string& path, bool& opened) {
    int offers = 0;
    document.Hooks().askGenericFile = [&offers](const GenericFileAnswers&) -> std::optional<GenericFileAnswers> {
        ++offers;
        return std::nullopt;
    };
    opened = document.OnOpenDocument(path);
    document.Hooks().askGenericFile = nullptr;
    return offers;
}

class ForeignFileTest : public DocumentTest {
protected:
    // Runs a tool; fails the test when it fails.
    void Run(const std::string& command) { ASSERT_EQ(RunCommand(command), 0) << command; }

    // Little-endian floats of a file.
    static std::vector<float> FloatsOf(const std::string& bytes) {
        std::vector<float> v(bytes.size() / 4);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4 * i);
        return v;
    }

    // What sox makes of a file: every sample as a float, frame by frame.
    std::vector<float> SoxFloats(const std::string& path) {
        const std::string raw = path + ".f32";
        EXPECT_EQ(RunCommand("sox -V1 '" + path + "' -t f32 '" + raw + "'"), 0);
        return FloatsOf(ReadAll(raw));
    }

    // Channel c of the document holds column `column` of frames of
    // `columns` values, sample for sample (within tolerance).
    void ExpectChannelEquals(int c, const std::vector<float>& frames, int columns, int column,
                             float tolerance = 0.0f) {
        const CChannels& ch = doc->Channel(c);
        ASSERT_EQ(frames.size() % static_cast<std::size_t>(columns), 0u);
        const auto count = static_cast<std::int64_t>(frames.size() / static_cast<std::size_t>(columns));
        ASSERT_GT(count, 0);
        ASSERT_EQ(ch.sampleCount, static_cast<double>(count)) << "channel " << c;
        int mismatches = 0;
        for (std::int64_t k = 0; k < count && mismatches < 5; ++k) {
            float v = 0;
            ASSERT_TRUE(ch.ReadSample(k, v)) << "channel " << c << " sample " << k;
            const float expected = frames[static_cast<std::size_t>(k * columns + column)];
            if (!(std::fabs(v - expected) <= tolerance)) {
                ++mismatches;
                ADD_FAILURE() << "channel " << c << " sample " << k << ": " << v << " != " << expected;
            }
        }
        // The load's min/max summary describes the samples.
        ASSERT_NE(ch.samplesSummary, nullptr) << "channel " << c;
        EXPECT_EQ(ch.samplesSummary->SampleCount(), count);
    }

    // Runs one reader alone; the target keeps what it made and why it
    // refused.
    int ReadDirect(const DocumentReader& reader, const std::string& path, std::unique_ptr<LoadTarget>& out) {
        platform::File file(path, platform::File::Mode::Read);
        out = std::make_unique<LoadTarget>([this] { return doc->NewStagingRecording(); });
        return reader(*doc, file, *out);
    }

    // Opening path fails with the reason as the only message, without
    // offering to read the file as a generic file, and the document keeps
    // what it held.
    void ExpectOpenRefused(const std::string& path, const std::string& reason) {
        const std::string heldPath = doc->GetPathName();
        const int heldChannels = doc->GetChannelCount();
        const int heldCode = doc->GetFileTypeCode();
        prompts.messages.clear();
        bool opened = true;
        EXPECT_EQ(GenericOffersOpening(*doc, path, opened), 0) << "a recognised file is not offered as a generic file";
        EXPECT_FALSE(opened);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), std::string(kFailedToOpenDocument) + "\n\n" + reason);
        EXPECT_EQ(doc->GetPathName(), heldPath);
        EXPECT_EQ(doc->GetChannelCount(), heldChannels);
        EXPECT_EQ(doc->GetFileTypeCode(), heldCode);
        EXPECT_TRUE(ScratchFiles().empty());
    }
};

inline bool HaveSox() { return HaveTool("sox"); }

// Bytes of hand-made files.
inline std::string Be16(std::uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
inline std::string Be32(std::uint32_t v) {
    return Be16(static_cast<std::uint16_t>(v >> 16)) + Be16(static_cast<std::uint16_t>(v & 0xFFFF));
}
inline std::string Le16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string Le32(std::uint32_t v) {
    return Le16(static_cast<std::uint16_t>(v & 0xFFFF)) + Le16(static_cast<std::uint16_t>(v >> 16));
}

}  // namespace vocomet::test
