#include "core/OldNativeReaders.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/Numbers.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

constexpr int kFurtherChannelSlots = 16;  // flags 1..15 are used
constexpr std::size_t kNameFieldSize = 20;
constexpr std::size_t kReferenceFieldSize = 9;
constexpr std::size_t kLabelCountAt = 100;
constexpr std::size_t kLabelTextSize = 100;
constexpr std::size_t kLabelTimeAt = 100;
constexpr std::size_t kLabelTimeSize = 16;
constexpr std::size_t kLabelFontAt = 140;
// Extra bytes after every sample block, as the channel blocks carry.
constexpr std::size_t kBlockSlackBytes = 40;
// Samples are read this many at a time.
constexpr std::size_t kReadPieceSamples = std::size_t{1} << 19;

// Where the fields of one header layout lie.
struct OldLayout {
    std::int32_t headerSize;
    bool bigEndian;
    bool shortHeader;  // the 1608-byte layouts: references and labels
    std::size_t flagsAt, gainsAt, namesAt, unitsAt;
    std::array<double, 2> audioFactors;    // auxiliary factors of channel 0
    std::array<double, 2> furtherFactors;  // and of the further channels
};

constexpr OldLayout kPcLong{kOldLongHeaderSize, false, false, 184, 252, 320, 660, {5000.0, 65536.0}, {10000.0, 4096.0}};
constexpr OldLayout kPcShort{kOldShortHeaderSize, false, true, 172, 240, 308, 648, {1.0, 1.0}, {1.0, 1.0}};
constexpr OldLayout kMacShort{kOldShortHeaderSize, true, true, 172, 240, 308, 648, {1.0, 1.0}, {1.0, 1.0}};
constexpr std::size_t kReferencesAt = 988;

// A header field: signed on the PC; rates, sample bytes and gains are
// unsigned on the Macintosh.
std::int64_t Number(const platform::ByteView& b, std::size_t at, const OldLayout& l) {
    return l.bigEndian ? static_cast<std::int64_t>(b.U32BE(at)) : static_cast<std::int64_t>(b.I32LE(at));
}

// The header's bytes as far as the file holds them, zero after that (so a
// header cut short still shows its size and type); false when the file does
// not even hold those two numbers. whole tells whether it holds all of it.
bool ReadHeader(const platform::File& file, std::int32_t size, std::vector<std::uint8_t>& bytes, bool& whole) {
    const std::int64_t length = file.GetLength();
    if (length < 8)
        return false;
    bytes.assign(static_cast<std::size_t>(size), 0);
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(length, size));
    if (file.ReadAt(0, bytes.data(), want) != want)
        return false;
    whole = want == bytes.size();
    return true;
}

// A header that passed its size and type test but is not whole: the file is
// of this layout and is refused with the reason. Always 0.
int RefuseCutHeader(LoadTarget& target, std::int32_t size) {
    target.Refuse("This file is cut short: it ends inside its " + std::to_string(size) + "-byte header.");
    return 0;
}

// The label font of the application (Arial, 14 pixels, normal weight).
platform::LogFontA ApplicationFont() {
    platform::LogFontA lf;
    lf.height = 14;
    lf.weight = 400;
    lf.faceName = "Arial";
    return lf;
}

std::string NonPositiveRateRefusal(int channel, std::int64_t rate) {
    return "Channel " + std::to_string(channel) + " of this file gives a sample rate of " + std::to_string(rate) +
           " Hz; a recording needs a positive rate.";
}

void SetUpChannel(CChannels& ch, int index, double rate, std::int64_t count, const std::string& name,
                  const std::string& unit, double gain, const std::array<double, 2>& factors, double reference,
                  int bits) {
    const double samples = static_cast<double>(count);
    const double duration = samples * 1000.0 / rate;
    ch.samples.Free();
    ch.sourceFile.reset();
    ch.stride = 0;
    ch.rate = rate;
    ch.sampleCount = samples;
    ch.duration = duration;
    ch.name = name;
    ch.unit = unit;
    ch.gain = gain > 0.0 ? gain : 1.0;
    ch.calA = 0.0;
    ch.calB = 0.0;
    ch.calC = 1.0;
    ch.calD = 0.0;
    ch.auxFactors = factors;
    ch.reference = reference;
    ch.audioFlag = index == 0 ? 1 : 0;
    ch.timeReference = index == 0 ? 1 : 0;
    ch.channelNumber = index + 1;
    ch.bits = bits;
    ch.scaleMode = 3;
    ch.stripHeight = 100;
    ch.filterRate = rate * 0.5;
    ch.show = 1;
    ch.shownStart = 0.0;
    ch.shownEnd = samples;
    ch.shownLength = samples;
    ch.shownStartTime = 0.0;
    ch.shownEndTime = duration;
    ch.shownSpan = duration;
    ch.prevWindowStart = 0.0;
    ch.prevWindowEnd = samples;
    ch.RemoveAllLabels();
}

// Reads the label records of the 1608-byte layouts into channel 0: those
// strictly inside the channel's duration.
void ReadLabels(const platform::File& file, std::int64_t at, std::int64_t count, const OldLayout& l, CChannels& ch) {
    std::vector<std::uint8_t> r(kOldLabelRecordSize);
    for (std::int64_t i = 0; i < count; ++i) {
        if (file.ReadAt(at + i * kOldLabelRecordSize, r.data(), r.size()) != r.size())
            return;
        const platform::ByteView b(r.data(), r.size());
        const double time = platform::LeadingDouble(b.Text(kLabelTimeAt, kLabelTimeSize));
        if (!(time > 0.0 && time < ch.duration))
            continue;
        LABEL label;
        // The text ends at its NUL or at the end of its field.
        label.SetText(b.Text(0, kLabelTextSize));
        label.time = time;
        const std::int64_t anchoring = l.bigEndian ? b.I32BE(116) : b.I32LE(116);
        label.anchoring = anchoring >= 0 && anchoring <= 2 ? static_cast<std::int32_t>(anchoring) : 0;
        auto low = [&](std::size_t off) { return static_cast<std::uint8_t>(l.bigEndian ? b.U8(off + 3) : b.U8(off)); };
        label.colour = platform::Rgb(low(124), low(128), low(132));
        label.relativeHeight = 0.0;
        label.markerLine = 0;
        label.font = ApplicationFont();
        if (!l.bigEndian) {
            const platform::LogFontA stored = platform::LogFontA::Decode(r.data() + kLabelFontAt);
            if (stored.height >= -1000 && stored.height <= 1000)
                label.font = stored;
        }
        ch.AppendLabel(label);
    }
}

// Sets up the recording from a header that passed its size and type test:
// channel 0 and every further channel whose flag is set, and for the
// 1608-byte layouts the labels. 0 with the reason given to the target when
// the header cannot be loaded.
int SetUpFromHeader(const platform::File& file, LoadTarget& target, const std::vector<std::uint8_t>& bytes,
                    const OldLayout& l, OldHeaderRead& read) {
    const platform::ByteView b(bytes.data(), bytes.size());
    const std::int64_t length = file.GetLength();
    const std::int64_t rate0 = Number(b, 16, l);
    const std::int64_t rateFurther = Number(b, 20, l);
    const std::int64_t bytes0 = Number(b, 24, l);
    const std::int64_t bytesFurther = Number(b, 28, l);
    std::vector<int> further;
    for (int i = 1; i < kFurtherChannelSlots; ++i)
        if (b.I32LE(l.flagsAt + 4 * static_cast<std::size_t>(i)) != 0)
            further.push_back(i);

    if (rate0 <= 0) {
        target.Refuse(NonPositiveRateRefusal(1, rate0));
        return 0;
    }
    if (!further.empty() && rateFurther <= 0) {
        target.Refuse(NonPositiveRateRefusal(2, rateFurther));
        return 0;
    }
    if (!IsLoadableRate(static_cast<double>(rate0))) {
        target.Refuse(RateRefusal("Channel 1 of this file", static_cast<double>(rate0)));
        return 0;
    }
    if (!further.empty() && !IsLoadableRate(static_cast<double>(rateFurther))) {
        target.Refuse(RateRefusal("Channel 2 of this file", static_cast<double>(rateFurther)));
        return 0;
    }
    if (bytes0 < 0 || (!further.empty() && bytesFurther < 0)) {
        target.Refuse("This file's header gives a negative sample size.");
        return 0;
    }
    const std::int64_t count0 = bytes0 / 2;
    const std::int64_t countFurther = further.empty() ? 0 : bytesFurther / 2;

    const std::int64_t sampleBytes = 2 * (count0 + static_cast<std::int64_t>(further.size()) * countFurther);
    // The labels of the short layouts lie between the label block header and
    // the samples: no more are read than those bytes can hold.
    std::int64_t labelCount = 0;
    std::int64_t samplesAt = l.headerSize;
    if (l.shortHeader) {
        const std::int64_t labelsAt = l.headerSize + kOldLabelBlockHeaderSize;
        std::uint8_t h[kOldLabelBlockHeaderSize] = {};
        if (file.ReadAt(l.headerSize, h, sizeof h) == sizeof h) {
            const platform::ByteView lb(h, sizeof h);
            labelCount = l.bigEndian ? lb.I32BE(kLabelCountAt) : lb.I32LE(kLabelCountAt);
        }
        // A file cut short inside its samples still holds its labels whole:
        // a count that fits the file but not with all the samples is taken
        // as it stands; one beyond the file is cut to the labels that leave
        // the samples whole.
        const std::int64_t room = std::max<std::int64_t>(0, length - labelsAt - sampleBytes) / kOldLabelRecordSize;
        const std::int64_t inFile = std::max<std::int64_t>(0, length - labelsAt) / kOldLabelRecordSize;
        labelCount = std::clamp<std::int64_t>(labelCount, 0, labelCount <= inFile ? inFile : room);
        samplesAt = labelsAt + labelCount * kOldLabelRecordSize;
    }

    // A file cut short inside its samples (a recording never finished)
    // keeps the channels its header announces, zero where the file ends.
    // Those zeros are allocated only while the file holds at least half of
    // the samples: a header announcing far more than its file is damaged,
    // not cut short, and allocates nothing for its count.
    const std::int64_t heldBytes = std::max<std::int64_t>(0, length - samplesAt);
    if (sampleBytes > 2 * heldBytes) {
        target.Refuse("This file is shorter than its header announces: it holds less than half of the " +
                      std::to_string(sampleBytes) + " bytes of samples its header announces.");
        return 0;
    }

    RecordingData& recording = target.Recording();
    recording.channelCount = 1 + static_cast<int>(further.size());
    auto reference = [&](int i) {
        return l.shortHeader ? platform::LeadingDouble(b.Text(kReferencesAt + kReferenceFieldSize * static_cast<std::size_t>(i),
                                                              kReferenceFieldSize))
                             : 0.0;
    };
    auto gain = [&](int i) { return static_cast<double>(Number(b, l.gainsAt + 4 * static_cast<std::size_t>(i), l)); };
    auto text = [&](std::size_t at, int i) { return b.Text(at + kNameFieldSize * static_cast<std::size_t>(i), kNameFieldSize); };

    SetUpChannel(recording.channels[0], 0, static_cast<double>(rate0), count0, text(l.namesAt, 0), text(l.unitsAt, 0),
                 gain(0), l.audioFactors, reference(0), 16);
    for (std::size_t k = 0; k < further.size(); ++k) {
        const int i = further[k];
        SetUpChannel(recording.channels[k + 1], static_cast<int>(k + 1), static_cast<double>(rateFurther),
                     countFurther, text(l.namesAt, i), text(l.unitsAt, i), gain(i), l.furtherFactors, reference(i), 12);
    }
    if (labelCount > 0)
        ReadLabels(file, l.headerSize + kOldLabelBlockHeaderSize, labelCount, l, recording.channels[0]);

    read.sampleOffset = samplesAt;
    read.bigEndian = l.bigEndian;
    return 1;
}

// Reads every channel's samples, one channel after another from offset.
int ReadSamples(const platform::File& file, LoadTarget& target, const OldHeaderRead& read) {
    RecordingData& recording = target.Recording();
    std::int64_t offset = read.sampleOffset;
    std::vector<std::uint8_t> raw;
    for (int c = 0; c < recording.channelCount; ++c) {
        CChannels& ch = recording.channels[static_cast<std::size_t>(c)];
        const auto count = static_cast<std::size_t>(ch.sampleCount);
        ch.samples = platform::ReallocGlobalBuffer(ch.samples, count * sizeof(float) + kBlockSlackBytes);
        if (ch.samples.IsNull()) {
            target.Refuse(kNoMemoryMessage);
            return kReaderNotMine;
        }
        // s / (2^bits * 0.5), exact in float.
        const auto scale = static_cast<float>(1.0 / (std::ldexp(1.0, ch.bits) * 0.5));
        raw.resize(std::min(count, kReadPieceSamples) * 2);
        LoadSummaries summary(1, static_cast<std::int64_t>(count));
        float* out = ch.samples.data();
        for (std::size_t done = 0; done < count;) {
            const std::size_t n = std::min(count - done, kReadPieceSamples);
            // Past the end of the file the samples stay 0.
            const std::size_t got = file.ReadAt(offset, raw.data(), n * 2) / 2;
            for (std::size_t k = 0; k < got; ++k) {
                const std::int16_t s = read.bigEndian ? platform::GetI16BE(raw.data() + 2 * k)
                                                      : platform::GetI16LE(raw.data() + 2 * k);
                out[done + k] = static_cast<float>(s) * scale;
            }
            summary.Add(out + done, n);
            offset += static_cast<std::int64_t>(n * 2);
            done += n;
        }
        summary.AttachTo(recording, static_cast<std::size_t>(c));
    }
    return kReaderLoaded;
}

int ReadOldFile(COrielDoc& document, const platform::File& file, LoadTarget& target, int pc) {
    try {
        OldHeaderRead read;
        if (ReadOldHeader(document, file, target, pc, read) == 0)
            return kReaderNotMine;
        const int loaded = ReadSamples(file, target, read);
        if (loaded != kReaderLoaded)
            return loaded;
        RecordingData& recording = target.Recording();
        recording.fileTypeCode = kFileTypeNativeByChannel;
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

}  // namespace

int ReadOldPcLongHeaderFile(COrielDoc&, const platform::File& file, LoadTarget& target, OldHeaderRead& read) {
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadHeader(file, kOldLongHeaderSize, bytes, whole))
        return 0;
    const platform::ByteView b(bytes.data(), bytes.size());
    // The stored size need only lie in the same ten as the header's.
    if (b.I32LE(0) / 10 != kOldLongHeaderSize / 10 || b.I32LE(4) != 10)
        return 0;
    if (!whole)
        return RefuseCutHeader(target, kOldLongHeaderSize);
    return SetUpFromHeader(file, target, bytes, kPcLong, read);
}

int ReadOldPcShortHeaderFile(COrielDoc&, const platform::File& file, LoadTarget& target, OldHeaderRead& read) {
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadHeader(file, kOldShortHeaderSize, bytes, whole))
        return 0;
    const platform::ByteView b(bytes.data(), bytes.size());
    if (b.I32LE(0) / 10 != kOldShortHeaderSize / 10 || b.I32LE(4) != 100)
        return 0;
    if (!whole)
        return RefuseCutHeader(target, kOldShortHeaderSize);
    return SetUpFromHeader(file, target, bytes, kPcShort, read);
}

int ReadOldMacLongHeaderFile(COrielDoc&, const platform::File& file, LoadTarget& target, OldHeaderRead&) {
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadHeader(file, kOldLongHeaderSize, bytes, whole))
        return 0;
    const platform::ByteView b(bytes.data(), bytes.size());
    const std::uint32_t size = b.U32BE(0);
    // Refused whether whole or cut short: no file of this type is read.
    if (size >= 6480 && size <= 6489 && b.U32BE(4) == 20)
        target.Refuse(kOldMacType20Message);
    // Never read: the short-header reader is tried next.
    return 0;
}

int ReadOldMacShortHeaderFile(COrielDoc&, const platform::File& file, LoadTarget& target, OldHeaderRead& read) {
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    if (!ReadHeader(file, kOldShortHeaderSize, bytes, whole))
        return 0;
    const platform::ByteView b(bytes.data(), bytes.size());
    const std::uint32_t size = b.U32BE(0);
    if (size < 1600 || size > 1609 || b.U32BE(4) != 200)
        return 0;
    if (!whole)
        return RefuseCutHeader(target, kOldShortHeaderSize);
    return SetUpFromHeader(file, target, bytes, kMacShort, read);
}

int ReadOldHeader(COrielDoc& document, const platform::File& file, LoadTarget& target, int pc, OldHeaderRead& read) {
    if (pc != 0)
        return ReadOldPcLongHeaderFile(document, file, target, read) != 0 ||
                       ReadOldPcShortHeaderFile(document, file, target, read) != 0
                   ? 1
                   : 0;
    return ReadOldMacLongHeaderFile(document, file, target, read) != 0 ||
                   ReadOldMacShortHeaderFile(document, file, target, read) != 0
               ? 1
               : 0;
}

int ReadOldPcFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadOldFile(document, file, target, 1);
}

int ReadOldMacFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadOldFile(document, file, target, 0);
}

void RegisterOldNativeReaders(DocumentFormats& formats) {
    formats.SetReader(ReaderSlot::ReadOldPcFile, ReadOldPcFile);
    formats.SetReader(ReaderSlot::ReadOldMacFile, ReadOldMacFile);
}

}  // namespace vocomet
