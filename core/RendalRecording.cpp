// COrielDoc::LoadRendalRecording: the sixteen-channel system's recording
// file becomes the document's channels. The file is read in pieces; a
// recording shorter than kRendalScratchSeconds goes into sample blocks, a
// longer one into a scratch file of interleaved floats that the channels
// then read from. The recording is staged and the document takes it only
// when it is complete.

#include "core/RendalRecording.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

// Frames read at a time (the scratch road's 8192 bytes a read are 256
// frames; the memory road reads larger pieces).
constexpr std::size_t kScratchReadFrames = 256;
constexpr std::size_t kMemoryReadFrames = 32768;

void SetUpChannel(CChannels& ch, int index, int record, double frames, double rate) {
    const double duration = frames * 1000.0 / rate;
    ch.samples.Free();
    ch.sourceFile.reset();
    ch.stride = 0;
    ch.sampleCount = frames;
    ch.rate = rate;
    ch.duration = duration;
    if (index == 0) {
        ch.name = "Audio";
    } else {
        char name[16];
        std::snprintf(name, sizeof name, "ch%d", record);
        ch.name = name;
    }
    ch.audioFlag = index == 0 ? 1 : 0;
    ch.timeReference = index == 0 ? 1 : 0;
    ch.channelNumber = index + 1;
    ch.bits = 16;
    ch.scaleMode = 3;
    ch.stripHeight = 100;
    ch.reference = 0.0;
    ch.show = 1;
    ch.shownStart = 0.0;
    ch.shownEnd = frames;
    ch.shownLength = frames;
    ch.prevWindowStart = 0.0;
    ch.prevWindowEnd = frames;
}

}  // namespace

std::vector<int> EnabledRendalRecords(const ChannelSetupArray& records, int count) {
    std::vector<int> out;
    const int n = std::clamp(count, 0, kChannelSetupCount);
    for (int j = 0; j < n; ++j)
        if (records[static_cast<std::size_t>(j)].enabled)
            out.push_back(j);
    return out;
}

float RendalChannelValue(const std::uint8_t* frame, int record) {
    constexpr float kScale = 1.0f / 32768.0f;
    const auto word = [frame](int w) { return static_cast<float>(platform::GetI16LE(frame + 2 * w)) * kScale; };
    const int w = RendalWordOfRecord(record);
    if (w < 0)
        return (((word(1) + word(0)) + word(2)) + word(3)) * 0.25f;
    return word(w);
}

bool NewRendalRecordingFile(COrielDoc& document) {
    DiscardRendalRecording(document);
    const std::string path = document.MakeTempFileName();
    std::shared_ptr<platform::File> file = platform::ShareRemovedWhenReleased(path);
    if (!file->Open(path, platform::File::Mode::Create))
        return false;  // the reserved name goes with the file object
    document.rendalRecordingFile = std::move(file);
    return true;
}

void DiscardRendalRecording(COrielDoc& document) {
    document.rendalRecordingFile = std::make_shared<platform::File>();
}

int COrielDoc::LoadRendalRecording(platform::File& recording, int /*mode*/) {
    const CChannels& first = Channel(0);
    const double rateValue = std::isfinite(first.rate) ? first.rate : 0.0;
    const int rate = rateValue >= 1.0 && rateValue < 2147483647.0 ? static_cast<int>(rateValue) : 0;
    const std::vector<int> records =
        EnabledRendalRecords(m_app.settings.channelSetup, m_app.acquisition.hardwareChannelCount);
    // What cannot be loaded is refused before anything changes.
    const auto refuse = [this](const std::string& text) {
        m_prompts.Message(text, platform::Buttons::Ok, platform::Icon::Warning);
        return 0;
    };
    if (rate <= 0)
        return refuse(kRendalNoRateMessage);
    if (records.empty())
        return refuse(kRendalNoChannelMessage);
    if (records.back() > kRendalHighestRecord) {
        char text[160];
        std::snprintf(text, sizeof text, kRendalRecordTooHighMessage, records.back());
        return refuse(text);
    }
    try {
        const std::int64_t length = recording.GetLength();
        const std::int64_t frames = length / static_cast<std::int64_t>(kRendalFrameBytes);
        const auto n = static_cast<int>(records.size());
        const auto framesD = static_cast<double>(frames);

        std::unique_ptr<RecordingData> staged = NewStagingRecording();
        staged->channelCount = n;
        for (int m = 0; m < n; ++m)
            SetUpChannel(staged->channels[static_cast<std::size_t>(m)], m, records[static_cast<std::size_t>(m)],
                         framesD, rate);
        LoadSummaries summary(static_cast<std::size_t>(n), frames);
        std::vector<float> out;  // interleaved frames of the document channels
        std::vector<std::uint8_t> raw;

        if (frames / rate < kRendalScratchSeconds) {
            std::vector<float*> blocks;
            for (int m = 0; m < n; ++m) {
                CChannels& ch = staged->channels[static_cast<std::size_t>(m)];
                ch.samples = platform::ReallocGlobalBuffer(ch.samples, static_cast<std::size_t>(frames) * sizeof(float));
                if (ch.samples.IsNull() && frames > 0) {
                    m_prompts.Beep();
                    m_prompts.Message(kNoMemoryMessage, platform::Buttons::Ok, platform::Icon::Warning);
                    return 0;
                }
                blocks.push_back(ch.samples.data());
            }
            raw.resize(kMemoryReadFrames * kRendalFrameBytes);
            out.resize(kMemoryReadFrames * static_cast<std::size_t>(n));
            for (std::int64_t done = 0; done < frames;) {
                const auto count = static_cast<std::size_t>(std::min<std::int64_t>(frames - done, kMemoryReadFrames));
                if (recording.ReadAt(done * static_cast<std::int64_t>(kRendalFrameBytes), raw.data(),
                                     count * kRendalFrameBytes) != count * kRendalFrameBytes)
                    return refuse(kIncorrectDataMessage);
                for (std::size_t k = 0; k < count; ++k)
                    for (int m = 0; m < n; ++m) {
                        const float v = RendalChannelValue(raw.data() + k * kRendalFrameBytes,
                                                           records[static_cast<std::size_t>(m)]);
                        blocks[static_cast<std::size_t>(m)][static_cast<std::size_t>(done) + k] = v;
                        out[k * static_cast<std::size_t>(n) + static_cast<std::size_t>(m)] = v;
                    }
                summary.Add(out.data(), count);
                done += static_cast<std::int64_t>(count);
            }
        } else {
            std::unique_ptr<platform::Progress> progress = MakeProgress();
            progress->SetText("Saving:... ");
            ThrottledProgress shown(progress.get());
            ScratchDataFile scratch(*this);
            raw.resize(kScratchReadFrames * kRendalFrameBytes);
            out.resize(kScratchReadFrames * static_cast<std::size_t>(n));
            std::vector<std::uint8_t> bytes(out.size() * 4);
            scratch.File().Seek(0);
            for (std::int64_t done = 0; done < frames;) {
                const auto count = static_cast<std::size_t>(std::min<std::int64_t>(frames - done, kScratchReadFrames));
                if (recording.ReadAt(done * static_cast<std::int64_t>(kRendalFrameBytes), raw.data(),
                                     count * kRendalFrameBytes) != count * kRendalFrameBytes)
                    return refuse(kIncorrectDataMessage);
                for (std::size_t k = 0; k < count; ++k)
                    for (int m = 0; m < n; ++m) {
                        const float v = RendalChannelValue(raw.data() + k * kRendalFrameBytes,
                                                           records[static_cast<std::size_t>(m)]);
                        const std::size_t at = k * static_cast<std::size_t>(n) + static_cast<std::size_t>(m);
                        out[at] = v;
                        platform::PutF32LE(bytes.data() + 4 * at, v);
                    }
                scratch.File().Write(bytes.data(), count * static_cast<std::size_t>(n) * 4);
                summary.Add(out.data(), count);
                done += static_cast<std::int64_t>(count);
                shown.Update(static_cast<double>(done * 32), static_cast<double>(length));
                if (shown.AbortRequested())
                    return 0;
            }
            scratch.AdoptInto(*staged, static_cast<std::size_t>(n));
        }
        summary.AttachTo(*staged);
        staged->fileTypeCode = kFileTypeUsb2Float;
        staged->saveAsRequired = 0;
        AdoptRecording(std::move(staged));
    } catch (const platform::FileException& e) {
        return refuse(e.what());
    } catch (const std::bad_alloc&) {
        m_prompts.Beep();
        return refuse(kNoMemoryMessage);
    }

    TakeNewRecordingSettings(rate);
    return 1;
}

}  // namespace vocomet
