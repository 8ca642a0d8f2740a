#include "core/NativeFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vocomet {

namespace {

constexpr NativeLayoutInfo kLayouts[] = {
    {"USB2_FLOAT", kNativeChannelHeaderSize, false, true, false},
    {"KOV_PC_FLOAT_24", kNativeChannelHeaderSize, false, true, false},
    {"KOV_PC_FLOAT", kNativeChannelHeaderSize, false, false, false},
    {"KOV_PC", kNativeChannelHeaderSize, false, false, true},
    {"KOVE_PC", kNativeKoveChannelHeaderSize, false, false, true},
    {"KOV_Mac", kNativeChannelHeaderSize, true, false, true},
};

// Field readers for one byte order.
struct Fields {
    platform::ByteView v;
    bool be;
    std::int32_t I32(std::size_t off) const { return be ? v.I32BE(off) : v.I32LE(off); }
    std::uint32_t U32(std::size_t off) const { return be ? v.U32BE(off) : v.U32LE(off); }
    double F64(std::size_t off) const { return be ? v.F64BE(off) : v.F64LE(off); }
};

// Labels are read this many records at a time, so a long list never needs
// one large buffer.
constexpr std::size_t kLabelBatch = 256;

void ReadExactly(const platform::File& file, std::int64_t offset, std::uint8_t* buffer, std::size_t count,
                 bool& ok) {
    ok = file.ReadAt(offset, buffer, count) == count;
}

}  // namespace

const NativeLayoutInfo& GetNativeLayoutInfo(NativeLayout layout) {
    return kLayouts[static_cast<int>(layout)];
}

NativeFileHeader NativeFileHeader::Decode(platform::ByteView bytes, bool bigEndian) {
    NativeFileHeader h;
    const std::size_t field = std::min(bytes.size(), kNativeTypeFieldSize);
    const void* nul = field ? std::memchr(bytes.data(), 0, field) : nullptr;
    if (nul) {
        h.terminated = true;
        h.typeString.assign(reinterpret_cast<const char*>(bytes.data()),
                            static_cast<const std::uint8_t*>(nul) - bytes.data());
    }
    if (bytes.Has(kNativeChannelCountOffset, 4))
        h.channelCount = bigEndian ? bytes.I32BE(kNativeChannelCountOffset) : bytes.I32LE(kNativeChannelCountOffset);
    return h;
}

NativeChannelHeader NativeChannelHeader::Decode(platform::ByteView bytes, NativeLayout layout) {
    const NativeLayoutInfo& info = GetNativeLayoutInfo(layout);
    const Fields f{bytes, info.bigEndian};
    NativeChannelHeader h;
    h.duration = f.F64(0);
    h.rate = f.F64(8);
    h.sampleCount = f.F64(16);
    h.reference = f.F64(24);
    // The 264-byte form puts 16 bytes in at 32 (the first auxiliary factor
    // and 8 unused bytes); every later field moves up by 16.
    std::size_t s = 0;
    if (layout == NativeLayout::KovePc) {
        h.auxFactor1 = f.F64(32);
        s = 16;
    }
    h.calA = f.F64(32 + s);
    h.calB = f.F64(40 + s);
    h.calC = f.F64(48 + s);
    h.calD = f.F64(56 + s);
    h.audioFlag = f.I32(64 + s);
    h.bits = f.I32(68 + s);
    h.scaleMode = f.I32(72 + s);
    h.stripHeight = f.I32(76 + s);
    h.channelNumber = f.I32(80 + s);
    if (info.bigEndian) {
        h.gain = static_cast<double>(f.U32(84 + s));
        h.filterRate = static_cast<double>(f.U32(88 + s));
    } else {
        h.gain = static_cast<double>(f.I32(84 + s));
        h.filterRate = static_cast<double>(f.I32(88 + s));
    }
    h.labelCount = f.I32(92 + s);
    h.drawReference = f.I32(96 + s);
    h.timeReference = f.I32(100 + s);
    for (std::size_t i = 0; i < 3; ++i)
        h.reserved[i] = f.I32(104 + s + 4 * i);
    h.name = bytes.Text(116 + s, 64);
    if (layout != NativeLayout::KovePc)
        h.unit = bytes.Text(180, 68);
    return h;
}

NativeLabelRecord NativeLabelRecord::Decode(platform::ByteView bytes, bool bigEndian) {
    const Fields f{bytes, bigEndian};
    NativeLabelRecord r;
    r.time = f.F64(0);
    r.relativeHeight = f.F64(8);
    r.anchoring = f.I32(16);
    r.markerLine = f.I32(20);
    r.rect = {f.I32(24), f.I32(28), f.I32(32), f.I32(36)};
    r.red = f.I32(40);
    r.green = f.I32(44);
    r.blue = f.I32(48);
    if (bigEndian) {
        // A Macintosh font means nothing here: only its height is kept.
        r.font = platform::DefaultGuiFont();
        r.font.height = f.I32(52);
    } else {
        if (!bytes.Has(52, platform::LogFontA::kSize))
            throw std::out_of_range("label font outside the record");
        r.font = platform::LogFontA::Decode(bytes.data() + 52);
    }
    r.text = bytes.Text(112, 256);
    return r;
}

LABEL NativeLabelRecord::ToLabel() const {
    LABEL l;
    l.time = time;
    l.relativeHeight = relativeHeight;
    l.anchoring = anchoring;
    l.markerLine = static_cast<std::int8_t>(static_cast<std::uint8_t>(markerLine & 0xFF));
    l.rect = rect;
    l.colour = platform::Rgb(static_cast<std::uint8_t>(red & 0xFF), static_cast<std::uint8_t>(green & 0xFF),
                             static_cast<std::uint8_t>(blue & 0xFF));
    l.font = font;
    l.SetText(text);
    return l;
}

std::string ReadNativeTypeString(const platform::File& file) {
    std::uint8_t head[kNativeTypeFieldSize] = {};
    const std::size_t got = file.ReadAt(0, head, sizeof head);
    return NativeFileHeader::Decode(platform::ByteView(head, got), false).typeString;
}

NativeParseResult ParseNativeFile(const platform::File& file, NativeLayout layout) {
    const NativeLayoutInfo& info = GetNativeLayoutInfo(layout);
    NativeParseResult result;
    NativeFileDescription& d = result.file;
    d.layout = layout;
    d.fileLength = file.GetLength();

    std::uint8_t head[kNativeFileHeaderSize] = {};
    const std::size_t got = file.ReadAt(0, head, sizeof head);
    d.header = NativeFileHeader::Decode(platform::ByteView(head, got), info.bigEndian);
    if (!d.header.terminated || d.header.typeString != info.typeString) {
        result.status = NativeParseStatus::NotThisLayout;
        return result;
    }
    if (got < kNativeFileHeaderSize) {
        result.status = NativeParseStatus::ShortFile;
        return result;
    }
    const int n = d.header.channelCount;
    if (n < 1 || n > kNativeMaxChannels) {
        result.status = NativeParseStatus::WrongChannelCount;
        return result;
    }

    const std::int64_t length = d.fileLength;
    const std::int64_t sampleSize = info.int16Samples ? 2 : 4;
    auto fail = [&result] {
        result.status = NativeParseStatus::ShortFile;
        return result;
    };
    // True when count items of size bytes fit between pos and the end.
    auto fits = [length](std::int64_t pos, std::int64_t count, std::int64_t size) {
        return count >= 0 && pos <= length && count <= (length - pos) / size;
    };
    // The header's count as a whole number; -1 when it is no count.
    auto wholeCount = [](double c) -> std::int64_t {
        if (!std::isfinite(c) || c < 0.0 || c >= 9.0e15)
            return -1;
        return static_cast<std::int64_t>(c);
    };

    std::int64_t pos = static_cast<std::int64_t>(kNativeFileHeaderSize);
    // Grown to a batch of label records only when a channel has labels.
    std::vector<std::uint8_t> buffer(info.channelHeaderSize);
    d.channels.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        NativeChannelDescription ch;
        if (!fits(pos, 1, static_cast<std::int64_t>(info.channelHeaderSize)))
            return fail();
        bool ok = false;
        ReadExactly(file, pos, buffer.data(), info.channelHeaderSize, ok);
        if (!ok)
            return fail();
        pos += static_cast<std::int64_t>(info.channelHeaderSize);
        ch.header = NativeChannelHeader::Decode(platform::ByteView(buffer.data(), info.channelHeaderSize), layout);

        const std::int64_t labelCount = ch.header.labelCount;
        if (!fits(pos, labelCount, static_cast<std::int64_t>(kNativeLabelRecordSize)))
            return fail();
        ch.labels.reserve(static_cast<std::size_t>(labelCount));
        for (std::int64_t done = 0; done < labelCount;) {
            const std::int64_t batch = std::min<std::int64_t>(labelCount - done, kLabelBatch);
            const std::size_t bytes = static_cast<std::size_t>(batch) * kNativeLabelRecordSize;
            if (buffer.size() < bytes)
                buffer.resize(bytes);
            ReadExactly(file, pos, buffer.data(), bytes, ok);
            if (!ok)
                return fail();
            for (std::int64_t k = 0; k < batch; ++k)
                ch.labels.push_back(NativeLabelRecord::Decode(
                    platform::ByteView(buffer.data() + k * kNativeLabelRecordSize, kNativeLabelRecordSize),
                    info.bigEndian));
            pos += static_cast<std::int64_t>(bytes);
            done += batch;
        }

        ch.sampleCount = wholeCount(ch.header.sampleCount);
        if (ch.sampleCount < 0)
            return fail();
        const double rate = ch.header.rate;
        const double duration = ch.header.duration;
        const bool rateOk = std::isfinite(rate) && rate > 0.0;
        const bool durationOk = std::isfinite(duration) && (duration > 0.0 || (duration == 0.0 && ch.sampleCount == 0));
        if (!rateOk || !durationOk) {
            // The description keeps the channel, so the refusal can show its value.
            d.channels.push_back(std::move(ch));
            result.status = rateOk ? NativeParseStatus::BadDuration : NativeParseStatus::BadRate;
            result.badChannel = i;
            return result;
        }
        if (!info.interleaved) {
            if (!fits(pos, ch.sampleCount, sampleSize))
                return fail();
            ch.sampleOffset = pos;
            pos += ch.sampleCount * sampleSize;
        }
        d.channels.push_back(std::move(ch));
    }

    if (info.interleaved) {
        d.frameCount = d.channels[0].sampleCount;
        // Every channel of a frame file has the frame count; a channel that
        // claims another count has no consistent place in the frames.
        for (const NativeChannelDescription& ch : d.channels)
            if (ch.sampleCount != d.frameCount)
                return fail();
        if (d.frameCount > std::numeric_limits<std::int64_t>::max() / (4 * n) || !fits(pos, d.frameCount * n, 4))
            return fail();
        d.frameOffset = pos;
    }
    result.status = NativeParseStatus::Ok;
    return result;
}

}  // namespace vocomet
