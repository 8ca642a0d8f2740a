#include "core/CChannels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// 1000 samples over 100 ms (10 samples per ms), value k at sample k, shown
// whole across a 500-pixel strip.
CChannels MakeChannel() {
    CChannels ch;
    ch.sampleCount = 1000;
    ch.duration = 100.0;
    ch.rate = 10000.0;
    ch.samples = platform::FloatBlock::Allocate(1000);
    for (int k = 0; k < 1000; ++k)
        ch.samples[k] = static_cast<float>(k);
    ch.strip = platform::Rect{0, 10, 500, 110};
    ch.shownStart = 0;
    ch.shownEnd = 1000;
    ch.shownLength = 1000;
    return ch;
}

TEST(CChannelsTest, DefaultsAndNoData) {
    CChannels ch;
    EXPECT_EQ(ch.rate, 11025.0);
    EXPECT_EQ(ch.bits, 16);
    EXPECT_EQ(ch.stripHeight, 100);
    EXPECT_EQ(ch.show, 1);
    EXPECT_EQ(ch.gain, 1.0);
    EXPECT_EQ(ch.filterRate, 5500.0);
    EXPECT_EQ(ch.calC, 1.0);
    EXPECT_EQ(ch.intensityWindow, 30.0);
    EXPECT_EQ(ch.velocityReserved[2], 65535);
    EXPECT_EQ(ch.accelerationReserved[1], 65535);
    EXPECT_EQ(ch.valleysReserved, 66000.0);
    EXPECT_EQ(ch.eggWindow, 8.0);
    EXPECT_EQ(ch.cycleDetectionLevel, 10.0);
    EXPECT_TRUE(ch.unit.empty());
    EXPECT_FALSE(ch.HasSamples());
    EXPECT_FALSE(ch.IsFileBacked());

    // Readers of values keep the stored values on a channel without data.
    ch.valueAtCursor = 7.5;
    ch.reference = 2.5;
    ch.velocityAtCursor = 3.0;
    ch.accelerationAtCursor = 4.0;
    EXPECT_EQ(ch.GetSampleAtTime(10.0), 7.5);
    EXPECT_EQ(ch.SetReferenceAtTime(10.0), 2.5);
    EXPECT_EQ(ch.GetVelocityAt(10.0), 3.0);
    EXPECT_EQ(ch.GetAccelerationAt(10.0), 4.0);
    EXPECT_EQ(ch.GetIntensityAt(10.0), 0.0);
}

struct TimeCase {
    double t;
    double sample;    // clamped cursor / marker sample
    double time;      // clamped time
    double value;     // sample read at that time
};

TEST(CChannelsTest, TimePositionsClampToTheChannel) {
    const TimeCase cases[] = {
        {-5.0, 0.0, 0.0, 0.0},          // before 0
        {12.34, 123.4, 12.34, 123.0},   // inside
        {100.0, 1000.0, 100.0, 999.0},  // at the end: reads the last sample
        {150.0, 1000.0, 100.0, 999.0},  // past the end
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.t);
        CChannels ch = MakeChannel();
        ch.SetCursorTime(c.t);
        EXPECT_DOUBLE_EQ(ch.cursorSample, c.sample);
        EXPECT_DOUBLE_EQ(ch.cursorTime, c.time);
        EXPECT_EQ(ch.GetSampleAtTime(c.t), c.value);
        EXPECT_EQ(ch.valueAtCursor, c.value);

        ch.SetAnchorTime(c.t);
        EXPECT_DOUBLE_EQ(ch.markerSample, c.sample);
        EXPECT_DOUBLE_EQ(ch.markerTime, c.time);
        EXPECT_EQ(ch.valueAtMarker, c.value);
        // The selection collapses onto the marker.
        EXPECT_DOUBLE_EQ(ch.selStartTime, c.time);
        EXPECT_DOUBLE_EQ(ch.selEndTime, c.time);
        EXPECT_DOUBLE_EQ(ch.selStartSample, c.sample);
        EXPECT_DOUBLE_EQ(ch.selEndSample, c.sample);
        EXPECT_EQ(ch.selLengthTime, 0.0);
        EXPECT_EQ(ch.selLengthSamples, 0.0);

        EXPECT_EQ(ch.SetReferenceAtTime(c.t), c.value);
        EXPECT_EQ(ch.reference, c.value);
    }
}

TEST(CChannelsTest, EmptyChannelPositionsAreGuarded) {
    CChannels ch;  // no samples, no duration, zero-width strip
    ch.SetCursorTime(50.0);
    EXPECT_EQ(ch.cursorSample, 0.0);
    EXPECT_EQ(ch.cursorTime, 0.0);
    EXPECT_EQ(ch.TimeToPixel(10.0), 0.0);
    EXPECT_EQ(ch.PixelToTime(100.0), 0.0);
    ch.SetCursorPixel(30, 40);
    EXPECT_EQ(ch.cursorPixelX, 30);
    EXPECT_EQ(ch.cursorSample, 0.0);

    // Without data the marker moves but the selection stays as it was.
    ch.selStartTime = 1.0;
    ch.selEndTime = 2.0;
    ch.valueAtMarker = 9.0;
    ch.SetAnchorTime(5.0);
    EXPECT_EQ(ch.selStartTime, 1.0);
    EXPECT_EQ(ch.selEndTime, 2.0);
    EXPECT_EQ(ch.valueAtMarker, 9.0);
    // A block with a count of 0 has no sample to read either.
    ch.samples = platform::FloatBlock::Allocate(4);
    ch.valueAtCursor = 6.0;
    EXPECT_EQ(ch.GetSampleAtTime(0.0), 6.0);
}

struct PixelCase {
    int x;
    double sample;
    double time;
};

TEST(CChannelsTest, PixelPositionsClampToTheChannel) {
    // Shown window 200..700 (20..70 ms) over 500 pixels: 1 sample per pixel.
    const PixelCase cases[] = {
        {-300, 0.0, 0.0},     // before 0
        {-10, 190.0, 19.0},   // left of the strip, still inside the channel
        {250, 450.0, 45.0},   // inside
        {500, 700.0, 70.0},   // the strip's right edge
        {900, 1000.0, 100.0}, // past the end of the channel
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.x);
        CChannels ch = MakeChannel();
        ch.shownStart = 200;
        ch.shownEnd = 700;
        EXPECT_DOUBLE_EQ(ch.PixelToTime(c.x), c.time);
        ch.SetCursorPixel(c.x, 33);
        EXPECT_EQ(ch.cursorPixelX, c.x);
        EXPECT_EQ(ch.cursorPixelY, 33);
        EXPECT_DOUBLE_EQ(ch.cursorSample, c.sample);
        EXPECT_DOUBLE_EQ(ch.cursorTime, c.time);
        ch.SetAnchorPixel(c.x, 99);
        EXPECT_DOUBLE_EQ(ch.markerSample, c.sample);
        EXPECT_DOUBLE_EQ(ch.markerTime, c.time);
        EXPECT_EQ(ch.valueAtMarker, std::min(c.sample, 999.0));
    }

    CChannels ch = MakeChannel();
    ch.shownStart = 200;
    ch.shownEnd = 700;
    double start = 0, end = 0;
    ch.GetVisibleTimeRange(start, end);
    EXPECT_DOUBLE_EQ(start, 20.0);
    EXPECT_DOUBLE_EQ(end, 70.0);
    EXPECT_DOUBLE_EQ(ch.shownSpan, 50.0);
    EXPECT_DOUBLE_EQ(ch.TimeToPixel(45.0), 250.0);
    EXPECT_DOUBLE_EQ(ch.TimeToPixel(10.0), -100.0);
}

TEST(CChannelsTest, SelectionIsTheSameWhicheverEndComesFirst) {
    CChannels a = MakeChannel();
    a.SetAnchorTime(30.0);
    a.SetCursorTime(60.0);
    a.UpdateSelection();
    CChannels b = MakeChannel();
    b.SetAnchorTime(60.0);
    b.SetCursorTime(30.0);
    b.UpdateSelection();
    for (const CChannels* ch : {&a, &b}) {
        EXPECT_DOUBLE_EQ(ch->selStartTime, 30.0);
        EXPECT_DOUBLE_EQ(ch->selEndTime, 60.0);
        EXPECT_DOUBLE_EQ(ch->selStartSample, 300.0);
        EXPECT_DOUBLE_EQ(ch->selEndSample, 600.0);
        EXPECT_DOUBLE_EQ(ch->selLengthTime, 30.0);
        EXPECT_DOUBLE_EQ(ch->selLengthSamples, 300.0);
    }
    a.SetCursorTime(30.0);
    a.SetAnchorTime(30.0);
    a.UpdateSelection();
    EXPECT_EQ(a.selLengthTime, 0.0);
    EXPECT_EQ(a.selLengthSamples, 0.0);
}

struct RectCase {
    double start, end;  // selection times
    int left, right;
};

TEST(CChannelsTest, SelectionRectangle) {
    // Shown 20..70 ms over a strip from x 100 to 600.
    const RectCase cases[] = {
        {0.0, 10.0, 100, 100},    // wholly before the shown window
        {10.0, 45.0, 100, 350},   // starts before it
        {30.0, 40.0, 200, 300},   // inside
        {45.0, 70.0, 350, 600},   // ends at the end
        {60.0, 100.0, 500, 600},  // runs past it
        {40.0, 30.0, 200, 300},   // given the other way round
    };
    for (const RectCase& c : cases) {
        SCOPED_TRACE(c.start);
        CChannels ch = MakeChannel();
        ch.strip = platform::Rect{100, 10, 600, 110};
        ch.shownStartTime = 20.0;
        ch.shownEndTime = 70.0;
        ch.selStartTime = c.start;
        ch.selEndTime = c.end;
        platform::Rect r;
        ch.GetSelectionRect(r);
        EXPECT_EQ(r, (platform::Rect{c.left, 10, c.right, 110}));
    }
    // An empty shown window gives no division by zero.
    CChannels ch;
    ch.selStartTime = 0.0;
    ch.selEndTime = 0.0;
    platform::Rect r;
    ch.GetSelectionRect(r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 0);
}

TEST(CChannelsTest, CurvesAreIndexedByTheirOwnCount) {
    CChannels ch = MakeChannel();
    // Curves of a different length from the samples: 100 values over 100 ms.
    ch.velocity = DoubleBlock::Allocate(100);
    ch.acceleration = DoubleBlock::Allocate(100);
    ch.intensity = platform::FloatBlock::Allocate(100);
    for (int i = 0; i < 100; ++i) {
        ch.velocity[i] = i * 2.0;
        ch.acceleration[i] = i * 3.0;
        ch.intensity[i] = static_cast<float>(i * 4);
    }
    ch.velocityCount = ch.accelerationCount = ch.intensityCount = 100;
    ch.intensityValid = 1;
    const double times[] = {-1.0, 25.5, 100.0, 1e9};
    const int index[] = {0, 25, 99, 99};
    for (int n = 0; n < 4; ++n) {
        SCOPED_TRACE(times[n]);
        EXPECT_EQ(ch.GetVelocityAt(times[n]), index[n] * 2.0);
        EXPECT_EQ(ch.velocityAtCursor, index[n] * 2.0);
        EXPECT_EQ(ch.GetAccelerationAt(times[n]), index[n] * 3.0);
        EXPECT_EQ(ch.accelerationAtCursor, index[n] * 3.0);
        EXPECT_EQ(ch.GetIntensityAt(times[n]), index[n] * 4.0);
    }
    // A count larger than the block never reads past it.
    ch.velocityCount = 5000;
    EXPECT_EQ(ch.GetVelocityAt(100.0), 99 * 2.0);
    ch.intensityValid = 0;
    EXPECT_EQ(ch.GetIntensityAt(50.0), 0.0);
}

TEST(CChannelsTest, CalibrateValue) {
    CChannels ch;
    ch.reference = 1.0;
    ch.gain = 2.0;
    ch.calA = 1.0;
    ch.calB = 2.0;
    ch.calC = 3.0;
    ch.calD = 4.0;
    // x = (5 - 1) / 2 = 2: 8 + 8 + 6 + 4.
    EXPECT_DOUBLE_EQ(ch.CalibrateValue(5.0), 26.0);
    // A gain stored as 0 counts as 1: x = 4.
    ch.gain = 0.0;
    EXPECT_DOUBLE_EQ(ch.CalibrateValue(5.0), 64.0 + 32.0 + 12.0 + 4.0);
    EXPECT_EQ(ch.ConvertReference(3.25), 3.25);
}

TEST(CChannelsTest, CopyIsDeepAndKeepsTheDestinationsOwnFields) {
    CChannels src = MakeChannel();
    src.name = "EGG";
    src.unit = "normalized";
    src.intensity = platform::FloatBlock::Allocate(10);
    src.intensity[3] = 1.5f;
    src.velocity = DoubleBlock::Allocate(10);
    src.velocity[4] = 2.5;
    src.acceleration = DoubleBlock::Allocate(10);
    src.spare = platform::FloatBlock::Allocate(3);
    src.eggWork = platform::FloatBlock::Allocate(3);
    LABEL l;
    l.SetText("a");
    src.AppendLabel(l);
    src.peaks.Add(ArrayData{1, 2, 3});
    src.cycles.Add(ArrayCycle{});
    src.calibrationList.Add(CALDATA{});
    src.intensityFilePath = "source path";
    src.velocityAtCursor = 11.0;
    src.eggWindow = 4.0;
    src.cycleDetectionLevel = 50.0;
    src.criterionPercent = 40.0;
    src.drawAcceleration = 1;

    CChannels dst;
    dst.intensityFilePath = "own path";
    dst.eggWindow = 9.0;
    dst.cycleDetectionLevel = 20.0;
    dst.velocityAtCursor = -1.0;
    dst = src;

    EXPECT_EQ(dst.name, "EGG");
    EXPECT_EQ(dst.unit, "normalized");
    EXPECT_EQ(dst.sampleCount, 1000.0);
    EXPECT_EQ(dst.criterionPercent, 40.0);
    ASSERT_TRUE(dst.HasSamples());
    EXPECT_NE(dst.samples.data(), src.samples.data());
    EXPECT_EQ(dst.samples[500], 500.0f);
    EXPECT_EQ(dst.intensity[3], 1.5f);
    EXPECT_EQ(dst.velocity[4], 2.5);
    EXPECT_EQ(dst.acceleration.size(), 10u);
    EXPECT_EQ(dst.spare.size(), 3u);
    EXPECT_EQ(dst.labelCount, 1);
    EXPECT_EQ(dst.peaks.GetSize(), 1);
    EXPECT_EQ(dst.cycles.GetSize(), 1);
    // Kept from the destination.
    EXPECT_TRUE(dst.calibrationList.IsEmpty());
    EXPECT_EQ(dst.intensityFilePath, "own path");
    EXPECT_EQ(dst.velocityAtCursor, -1.0);
    EXPECT_EQ(dst.drawAcceleration, 0);
    EXPECT_TRUE(dst.eggWork.IsNull());
    EXPECT_EQ(dst.eggWindow, 9.0);
    EXPECT_EQ(dst.cycleDetectionLevel, 20.0);

    // Changing one never changes the other.
    dst.samples[500] = -1.0f;
    dst.intensity[3] = -1.0f;
    dst.labels.ElementAt(0).SetText("changed");
    dst.peaks.RemoveAll();
    EXPECT_EQ(src.samples[500], 500.0f);
    EXPECT_EQ(src.intensity[3], 1.5f);
    EXPECT_EQ(src.labels.GetAt(0).Text(), "a");
    EXPECT_EQ(src.peaks.GetSize(), 1);

    // Self-assignment changes nothing.
    const float* before = src.samples.data();
    CChannels& alias = src;
    src = alias;
    EXPECT_EQ(src.samples.data(), before);
    EXPECT_EQ(src.labelCount, 1);

    // The copy constructor gives the same deep copy.
    CChannels copy(src);
    EXPECT_EQ(copy.samples[999], 999.0f);
    EXPECT_NE(copy.samples.data(), src.samples.data());
}

// ---------------------------------------------------------------------------
// File-backed channels

std::vector<float> ReadFloats(const std::string& path) {
    std::string bytes = test::ReadAll(path);
    std::vector<float> v(bytes.size() / 4);
    if (!v.empty())
        std::memcpy(v.data(), bytes.data(), v.size() * 4);
    return v;
}

CChannels FileChannel(std::shared_ptr<platform::File> file, int stride, int number, double frames, double rate) {
    CChannels ch;
    ch.sourceFile = std::move(file);
    ch.stride = stride;
    ch.channelNumber = number;
    ch.sampleCount = frames;
    ch.rate = rate;
    ch.duration = frames * 1000.0 / rate;
    return ch;
}

TEST(CChannelsTest, FileBackedValuesFromSoxInterleavedFile) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    const std::string path = test::FreshTempDir() + "/x.f32";
    ASSERT_EQ(test::RunCommand("sox -n -r 22050 -c 3 -e floating-point -b 32 -t raw '" + path +
                               "' synth 1 sine 440 sine 880 sine 1320"),
              0);
    const std::vector<float> raw = ReadFloats(path);
    ASSERT_EQ(raw.size(), 22050u * 3);
    auto file = std::make_shared<platform::File>(path, platform::File::Mode::Read);

    for (int number = 1; number <= 3; ++number) {
        SCOPED_TRACE(number);
        CChannels ch = FileChannel(file, 3, number, 22050, 22050.0);
        ASSERT_TRUE(ch.IsFileBacked());
        for (std::int64_t k = 0; k < 22050; ++k) {
            float v = 0.0f;
            ASSERT_TRUE(ch.ReadSample(k, v));
            ASSERT_EQ(v, raw[k * 3 + number - 1]) << "sample " << k;
        }
        // Through the time routines: 500 ms is frame 11025; the end reads the last frame.
        EXPECT_EQ(ch.GetSampleAtTime(500.0), raw[11025 * 3 + number - 1]);
        EXPECT_EQ(ch.GetSampleAtTime(2000.0), raw[22049 * 3 + number - 1]);
        ch.SetAnchorTime(ch.duration);
        EXPECT_EQ(ch.valueAtMarker, raw[22049 * 3 + number - 1]);
        EXPECT_EQ(ch.SetReferenceAtTime(0.0), raw[number - 1]);

        // A copy of a file-backed channel stays file-backed.
        CChannels copy;
        copy = ch;
        EXPECT_TRUE(copy.IsFileBacked());
        EXPECT_EQ(copy.GetSampleAtTime(500.0), raw[11025 * 3 + number - 1]);
    }
}

TEST(CChannelsTest, FileBackedNineteenChannelFrames) {
    // Every value of the file is distinct, so any misaddressing shows.
    const int stride = 19;
    const int frames = 300;
    std::vector<float> values(static_cast<std::size_t>(stride) * frames);
    for (int k = 0; k < frames; ++k)
        for (int c = 0; c < stride; ++c)
            values[static_cast<std::size_t>(k) * stride + c] = static_cast<float>(k * 100 + c + 1) + 0.25f;
    const std::string path = test::FreshTempDir() + "/nineteen.f32";
    test::WriteAll(path, std::string(reinterpret_cast<const char*>(values.data()), values.size() * 4));
    auto file = std::make_shared<platform::File>(path, platform::File::Mode::Read);

    for (int number = 1; number <= stride; ++number) {
        SCOPED_TRACE(number);
        CChannels ch = FileChannel(file, stride, number, frames, 1000.0);
        for (int k = 0; k < frames; ++k) {
            float v = 0.0f;
            ASSERT_TRUE(ch.ReadSample(k, v));
            ASSERT_EQ(v, values[static_cast<std::size_t>(k) * stride + number - 1]) << "frame " << k;
        }
        EXPECT_EQ(ch.GetSampleAtTime(150.0), values[150u * stride + number - 1]);
    }

    // A channel number outside the frame is refused, never read from a neighbour.
    for (int number : {0, -1, 20}) {
        SCOPED_TRACE(number);
        CChannels ch = FileChannel(file, stride, number, frames, 1000.0);
        float v = 0.0f;
        EXPECT_FALSE(ch.ReadSample(1, v));
        ch.valueAtCursor = -7.0;
        EXPECT_EQ(ch.GetSampleAtTime(1.0), -7.0);
    }
    // A sample count beyond the file's frames reads nothing past its end.
    CChannels longer = FileChannel(file, stride, 19, frames + 50, 1000.0);
    longer.valueAtCursor = -3.0;
    EXPECT_EQ(longer.GetSampleAtTime(1e6), -3.0);
    // A closed source file gives the stored value, not an exception.
    file->Close();
    CChannels closed = FileChannel(file, stride, 1, frames, 1000.0);
    closed.valueAtCursor = 5.0;
    EXPECT_EQ(closed.GetSampleAtTime(10.0), 5.0);
}

TEST(CChannelsTest, FileBackedIntensityReadsItsCurveFile) {
    const std::string dir = test::FreshTempDir();
    const std::string data = dir + "/data.f32";
    const std::string curve = dir + "/data.f32_Int#1";
    test::WriteAll(data, std::string(40, '\0'));
    std::vector<float> levels = {10.0f, 20.0f, 30.0f, 40.0f, 50.0f, 60.0f, 70.0f, 80.0f, 90.0f, 100.0f};
    test::WriteAll(curve, std::string(reinterpret_cast<const char*>(levels.data()), levels.size() * 4));

    CChannels ch = FileChannel(std::make_shared<platform::File>(data, platform::File::Mode::Read), 1, 1, 10, 1000.0);
    ch.intensityFilePath = curve;
    ch.intensityCount = 10;
    ch.intensityValid = 1;
    EXPECT_EQ(ch.GetIntensityAt(-4.0), 10.0);
    EXPECT_EQ(ch.GetIntensityAt(3.5), 40.0);
    EXPECT_EQ(ch.GetIntensityAt(10.0), 100.0);
    EXPECT_EQ(ch.GetIntensityAt(99.0), 100.0);
    // The curve file stays open between reads: it still reads once its
    // name is gone.
    ASSERT_TRUE(platform::RemoveFile(curve));
    EXPECT_EQ(ch.GetIntensityAt(5.0), 60.0);
    // Forgotten, the missing file gives 0.
    ch.CloseIntensityFile();
    EXPECT_EQ(ch.GetIntensityAt(5.0), 0.0);
}

}  // namespace
}  // namespace vocomet
