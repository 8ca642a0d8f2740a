#include "core/NspFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

// The header chunk as read: its first bytes, the rate at offset 20.
constexpr std::size_t kHeaderReadBytes = 44;
constexpr std::size_t kRateAt = 20;
// Samples are read this many bytes at a time.
constexpr std::size_t kReadPieceBytes = std::size_t{1} << 20;

bool IdIs(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Where the walk found the samples, and at what rate.
struct NspLayout {
    std::int32_t rate = 0;
    std::int64_t dataOffset = 0;
    std::int64_t sampleCount = 0;
};

// Walks the chunks from offset 12 while their offset is below the file's
// walk limit and the file holds their header, up to the first sound-data
// chunk. False when the signed file cannot be loaded (refusal says why).
bool DescribeNsp(const platform::File& file, std::int32_t walkLimit, NspLayout& n, std::string& refusal) {
    const std::int64_t length = file.GetLength();
    const std::int64_t limit = std::min<std::int64_t>(walkLimit, length);
    bool headerSeen = false;
    bool dataSeen = false;
    // Sizes are never negative, so every step moves on by at least the
    // chunk header: the walk ends at the limit or the end of the file.
    for (std::int64_t offset = 12; offset < limit && offset + 8 <= length;) {
        std::uint8_t header[8];
        if (file.ReadAt(offset, header, sizeof header) != sizeof header)
            break;
        const std::int32_t size = platform::GetI32LE(header + 4);
        if (size < 0) {
            refusal = "This NSP file is damaged: the chunk at byte " + std::to_string(offset) +
                      " has a negative size.";
            return false;
        }
        const std::int64_t body = offset + 8;
        if (IdIs(header, "HEDR") || IdIs(header, "HDR8")) {
            std::uint8_t h[kHeaderReadBytes] = {};
            file.ReadAt(body, h, std::min<std::size_t>(static_cast<std::size_t>(size), sizeof h));
            n.rate = platform::GetI32LE(h + kRateAt);
            headerSeen = true;
        } else if (IdIs(header, "SDA_") || IdIs(header, "SD_B")) {
            if (!headerSeen) {
                refusal = "This NSP file is damaged: its sound data comes before its header.";
                return false;
            }
            n.dataOffset = body;
            n.sampleCount = size / 2;
            dataSeen = true;
            break;
        }
        std::int64_t next = body + size;
        if (next % 2 != 0)
            ++next;
        offset = next;
    }
    if (!headerSeen || !dataSeen) {
        refusal = std::string("This NSP file has no ") + (headerSeen ? "sound data." : "header.");
        return false;
    }
    if (n.rate <= 0) {
        refusal = "This NSP file's sample rate is " + std::to_string(n.rate) + " Hz; a recording needs a positive rate.";
        return false;
    }
    if (!IsLoadableRate(n.rate)) {
        refusal = RateRefusal("This NSP file", n.rate);
        return false;
    }
    if (n.sampleCount == 0) {
        refusal = "This NSP file holds no samples.";
        return false;
    }
    if (n.sampleCount * 2 > length - n.dataOffset) {
        refusal = kIncorrectDataMessage;
        return false;
    }
    return true;
}

void SetUpChannel(CChannels& ch, const NspLayout& n) {
    const double count = static_cast<double>(n.sampleCount);
    ch.SetUpForeignChannel(0, count, n.rate, count * 1000.0 / n.rate, 16);
    ch.stripHeight = 100;
    ch.RemoveAllLabels();
    ch.drawReference = 0;
    ch.reserved1 = {0, 0, 0};
    ch.name = kNspChannelName;
    ch.filterRate = static_cast<double>(n.rate / 2);  // whole hertz
}

}  // namespace

int ReadNspFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    try {
        std::uint8_t head[12];
        if (file.ReadAt(0, head, sizeof head) != sizeof head || !IdIs(head, "FORM") || !IdIs(head + 4, "DS16"))
            return kReaderNotMine;
        NspLayout n;
        std::string refusal;
        if (!DescribeNsp(file, platform::GetI32LE(head + 8), n, refusal)) {
            target.Refuse(refusal);
            return kReaderNotMine;
        }

        RecordingData& recording = target.Recording();
        recording.channelCount = 1;
        CChannels& ch = recording.channels[0];
        SetUpChannel(ch, n);
        const auto count = static_cast<std::size_t>(n.sampleCount);
        ch.samples = platform::ReallocGlobalBuffer(ch.samples, count * sizeof(float));
        if (ch.samples.IsNull()) {
            target.Refuse(kNoMemoryMessage);
            return kReaderNotMine;
        }
        std::vector<std::uint8_t> raw(std::min(count * 2, kReadPieceBytes));
        LoadSummaries summary(1, n.sampleCount);
        float* out = ch.samples.data();
        for (std::size_t done = 0; done < count;) {
            const std::size_t m = std::min(count - done, raw.size() / 2);
            if (file.ReadAt(n.dataOffset + static_cast<std::int64_t>(done * 2), raw.data(), m * 2) != m * 2) {
                target.Refuse(kIncorrectDataMessage);
                return kReaderNotMine;
            }
            for (std::size_t k = 0; k < m; ++k)
                out[done + k] = static_cast<float>(platform::GetI16LE(raw.data() + 2 * k)) * (1.0f / 32768.0f);
            summary.Add(out + done, m);
            done += m;
        }
        summary.AttachTo(recording);

        recording.fileTypeCode = kFileTypeNsp;
        recording.saveAsRequired = 1;
        document.SetModifiedFlag(false);
        return kReaderLoaded;
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
    } catch (const std::bad_alloc&) {
        target.Refuse(kNoMemoryMessage);
    }
    return kReaderNotMine;
}

void RegisterNspReader(DocumentFormats& formats) { formats.SetReader(ReaderSlot::ReadNspFile, ReadNspFile); }

}  // namespace vocomet
