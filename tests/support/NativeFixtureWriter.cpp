#include "NativeFixtureWriter.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vocomet::test {

namespace {

// Byte puts of its own, so the fixtures share nothing with the code they test.
class Out {
public:
    Out(std::string& bytes, bool bigEndian) : m_bytes(bytes), m_be(bigEndian) {}

    std::size_t Append(std::size_t size) {
        std::size_t at = m_bytes.size();
        m_bytes.append(size, '\0');
        return at;
    }
    void Raw(std::size_t at, const void* p, std::size_t n) {
        unsigned char tmp[8];
        std::memcpy(tmp, p, n);
        const bool swap = (m_be != (std::endian::native == std::endian::big));
        for (std::size_t i = 0; i < n; ++i)
            m_bytes[at + i] = static_cast<char>(swap ? tmp[n - 1 - i] : tmp[i]);
    }
    void I16(std::size_t at, std::int16_t v) { Raw(at, &v, 2); }
    void I32(std::size_t at, std::int32_t v) { Raw(at, &v, 4); }
    void U32(std::size_t at, std::uint32_t v) { Raw(at, &v, 4); }
    void F32(std::size_t at, float v) { Raw(at, &v, 4); }
    void F64(std::size_t at, double v) { Raw(at, &v, 8); }
    void Text(std::size_t at, std::size_t field, const std::string& s) {
        std::size_t n = std::min(s.size(), field - 1);
        std::memcpy(&m_bytes[at], s.data(), n);
    }
    void Byte(std::size_t at, std::uint8_t b) { m_bytes[at] = static_cast<char>(b); }

private:
    std::string& m_bytes;
    bool m_be;
};

bool IsInterleaved(FixtureLayout l) { return l == FixtureLayout::Usb2Float || l == FixtureLayout::KovPcFloat24; }
bool IsInt16(FixtureLayout l) {
    return l == FixtureLayout::KovPc || l == FixtureLayout::KovePc || l == FixtureLayout::KovMac;
}

std::size_t SamplesOf(const FixtureFile& f, const FixtureChannel& c) {
    return IsInt16(f.layout) ? c.shorts.size() : c.floats.size();
}

void PutChannelHeader(Out& out, const FixtureFile& f, const FixtureChannel& c, int index) {
    const bool kove = f.layout == FixtureLayout::KovePc;
    const std::size_t at = out.Append(kove ? 264 : 248);
    const double count = c.sampleCount >= 0 ? c.sampleCount : static_cast<double>(SamplesOf(f, c));
    const double duration = c.duration != 0.0 ? c.duration : (c.rate > 0 ? count / c.rate * 1000.0 : 0.0);
    out.F64(at + 0, duration);
    out.F64(at + 8, c.rate);
    out.F64(at + 16, count);
    out.F64(at + 24, c.reference);
    const std::size_t s = kove ? 16 : 0;
    if (kove)
        out.F64(at + 32, c.auxFactor1);  // 40..47 stay zero
    out.F64(at + s + 32, c.calA);
    out.F64(at + s + 40, c.calB);
    out.F64(at + s + 48, c.calC);
    out.F64(at + s + 56, c.calD);
    out.I32(at + s + 64, c.audioFlag);
    out.I32(at + s + 68, c.bits);
    out.I32(at + s + 72, c.scaleMode);
    out.I32(at + s + 76, c.stripHeight);
    out.I32(at + s + 80, c.channelNumber ? c.channelNumber : index + 1);
    if (f.layout == FixtureLayout::KovMac) {
        out.U32(at + s + 84, static_cast<std::uint32_t>(c.gain));
        out.U32(at + s + 88, static_cast<std::uint32_t>(c.filterRate));
    } else {
        out.I32(at + s + 84, static_cast<std::int32_t>(c.gain));
        out.I32(at + s + 88, static_cast<std::int32_t>(c.filterRate));
    }
    out.I32(at + s + 92, static_cast<std::int32_t>(c.labels.size()));
    out.I32(at + s + 96, c.drawReference);
    out.I32(at + s + 100, c.timeReference);
    for (int i = 0; i < 3; ++i)
        out.I32(at + s + 104 + 4 * i, c.reserved[i]);
    out.Text(at + s + 116, 64, c.name);
    out.Text(at + s + 180, 68, c.unit);
}

void PutLabel(Out& out, const FixtureLabel& l) {
    const std::size_t at = out.Append(368);
    out.F64(at + 0, l.time);
    out.F64(at + 8, l.relativeHeight);
    out.I32(at + 16, l.anchoring);
    out.I32(at + 20, l.markerLine);
    for (int i = 0; i < 4; ++i)
        out.I32(at + 24 + 4 * i, l.rect[i]);
    out.I32(at + 40, l.red);
    out.I32(at + 44, l.green);
    out.I32(at + 48, l.blue);
    for (int i = 0; i < 5; ++i)
        out.I32(at + 52 + 4 * i, l.fontInts[i]);
    for (int i = 0; i < 8; ++i)
        out.Byte(at + 72 + i, l.fontBytes[i]);
    out.Text(at + 80, 32, l.faceName);
    out.Text(at + 112, 256, l.text);
}

void PutSamples(Out& out, const FixtureFile& f, const FixtureChannel& c) {
    if (IsInt16(f.layout)) {
        std::size_t at = out.Append(c.shorts.size() * 2);
        for (std::size_t k = 0; k < c.shorts.size(); ++k)
            out.I16(at + 2 * k, c.shorts[k]);
    } else {
        std::size_t at = out.Append(c.floats.size() * 4);
        for (std::size_t k = 0; k < c.floats.size(); ++k)
            out.F32(at + 4 * k, c.floats[k]);
    }
}

std::string Build(const FixtureFile& f, FixtureOffsets* offsets) {
    std::string bytes;
    Out out(bytes, f.layout == FixtureLayout::KovMac);
    out.Append(512);
    out.Text(0, 32, FixtureTypeString(f.layout));
    out.I32(32, f.overrideChannelCount ? f.channelCount : static_cast<std::int32_t>(f.channels.size()));
    for (std::size_t i = 0; i < f.channels.size(); ++i) {
        const FixtureChannel& c = f.channels[i];
        if (offsets)
            offsets->channelHeader.push_back(static_cast<std::int64_t>(bytes.size()));
        PutChannelHeader(out, f, c, static_cast<int>(i));
        for (const FixtureLabel& l : c.labels)
            PutLabel(out, l);
        if (!IsInterleaved(f.layout)) {
            if (offsets)
                offsets->samples.push_back(static_cast<std::int64_t>(bytes.size()));
            PutSamples(out, f, c);
        }
    }
    if (IsInterleaved(f.layout) && !f.channels.empty()) {
        if (offsets)
            offsets->frames = static_cast<std::int64_t>(bytes.size());
        const std::size_t n = f.channels.size();
        const std::size_t frames = f.channels[0].floats.size();
        std::size_t at = out.Append(frames * n * 4);
        for (std::size_t k = 0; k < frames; ++k)
            for (std::size_t l = 0; l < n; ++l) {
                const auto& v = f.channels[l].floats;
                out.F32(at + (k * n + l) * 4, k < v.size() ? v[k] : 0.0f);
            }
    }
    return bytes;
}

}  // namespace

const char* FixtureTypeString(FixtureLayout layout) {
    switch (layout) {
    case FixtureLayout::Usb2Float: return "USB2_FLOAT";
    case FixtureLayout::KovPcFloat24: return "KOV_PC_FLOAT_24";
    case FixtureLayout::KovPcFloat: return "KOV_PC_FLOAT";
    case FixtureLayout::KovPc: return "KOV_PC";
    case FixtureLayout::KovePc: return "KOVE_PC";
    case FixtureLayout::KovMac: return "KOV_Mac";
    }
    return "";
}

std::string BuildNativeFixture(const FixtureFile& file) { return Build(file, nullptr); }

FixtureOffsets NativeFixtureOffsets(const FixtureFile& file) {
    FixtureOffsets o;
    Build(file, &o);
    return o;
}

void WriteNativeFixture(const std::string& path, const FixtureFile& file) {
    std::string bytes = BuildNativeFixture(file);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write fixture " + path);
}

FixtureChannel RampChannel(const std::string& name, double rate, int count, float start, float step) {
    FixtureChannel c;
    c.name = name;
    c.rate = rate;
    c.floats.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        c.floats[static_cast<std::size_t>(i)] = start + step * static_cast<float>(i);
    return c;
}

}  // namespace vocomet::test
