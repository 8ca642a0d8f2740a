// COrielDoc::LoadInterleavedRecording: a finished recording of headerless
// interleaved 32-bit float frames (the sound card's and the audio box's)
// becomes the document's channels. A recording shorter than
// kInterleavedOnDiskSeconds goes into sample blocks and its file is removed;
// a longer one stays on disk as the document's data file. The recording is
// staged and the document takes it only when it is complete.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

constexpr std::size_t kReadFrames = 32768;

int EvenAtOrBelow(int n) { return n - (n % 2 + 2) % 2; }

void SetUpChannel(CChannels& ch, int index, double frames, double rate, bool audioBox) {
    ch.samples.Free();
    ch.sourceFile.reset();
    ch.stride = 0;
    ch.sampleCount = frames;
    ch.rate = rate;
    ch.duration = frames * 1000.0 / rate;
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
    char name[16];
    std::snprintf(name, sizeof name, "ch%d", index);
    if (audioBox) {
        ch.name = index == 0 ? "Left" : index == 1 ? "Right" : name;
        ch.audioFlag = index == 0 ? 1 : 0;
        ch.timeReference = index <= 1 ? 1 : 0;
    } else {
        ch.name = index == 0 ? "Audio" : name;
        ch.audioFlag = index == 0 ? 1 : 0;
        ch.timeReference = index == 0 ? 1 : 0;
    }
    const int r = static_cast<int>(rate);
    if (r == 11025)
        ch.filterRate = 5000.0;
    else if (r == 22050)
        ch.filterRate = 10000.0;
    else if (r == 44100)
        ch.filterRate = 20000.0;
    else if (r == 48000)
        ch.filterRate = 22000.0;
}

}  // namespace

int COrielDoc::LoadInterleavedRecording(platform::File& recording, int n) {
    const CChannels& first = Channel(0);
    const double rateValue = std::isfinite(first.rate) ? first.rate : 0.0;
    const int rate = rateValue >= 1.0 && rateValue < 2147483647.0 ? static_cast<int>(rateValue) : 0;
    // A recording without channels or rate cannot be made into channels.
    if (n < 1 || n > kDocumentSlots || rate <= 0 || !recording.IsOpen())
        return 0;
    const bool audioBox = m_app.acquisition.audioBoxPresent != 0;
    try {
        const std::int64_t length = recording.GetLength();
        const std::int64_t frames = length / (4 * static_cast<std::int64_t>(n));
        const auto framesD = static_cast<double>(frames);
        const auto columns = static_cast<std::size_t>(n);

        std::unique_ptr<RecordingData> staged = NewStagingRecording();
        staged->channelCount = n;
        for (int i = 0; i < n; ++i)
            SetUpChannel(staged->channels[static_cast<std::size_t>(i)], i, framesD, rate, audioBox);
        LoadSummaries summary(columns, frames);
        std::vector<std::uint8_t> bytes(kReadFrames * columns * 4);
        std::vector<float> out(kReadFrames * columns);
        const bool inMemory = frames / rate < kInterleavedOnDiskSeconds;

        std::vector<float*> blocks;
        if (inMemory) {
            for (int i = 0; i < n; ++i) {
                CChannels& ch = staged->channels[static_cast<std::size_t>(i)];
                ch.samples =
                    platform::ReallocGlobalBuffer(ch.samples, static_cast<std::size_t>(frames) * sizeof(float));
                if (ch.samples.IsNull() && frames > 0) {
                    m_prompts.Beep();
                    m_prompts.Message(kNoMemoryMessage, platform::Buttons::Ok, platform::Icon::Warning);
                    return 0;
                }
                blocks.push_back(ch.samples.data());
            }
        }
        // One pass over the file: the summaries, and the blocks in memory.
        for (std::int64_t done = 0; done < frames;) {
            const auto count = static_cast<std::size_t>(std::min<std::int64_t>(frames - done, kReadFrames));
            const std::size_t want = count * columns * 4;
            if (recording.ReadAt(done * static_cast<std::int64_t>(columns) * 4, bytes.data(), want) != want)
                return 0;
            for (std::size_t v = 0; v < count * columns; ++v)
                out[v] = platform::GetF32LE(bytes.data() + 4 * v);
            if (inMemory)
                for (std::size_t k = 0; k < count; ++k)
                    for (std::size_t c = 0; c < columns; ++c)
                        blocks[c][static_cast<std::size_t>(done) + k] = out[k * columns + c];
            summary.Add(out.data(), count);
            done += static_cast<std::int64_t>(count);
        }
        summary.AttachTo(*staged);
        staged->fileTypeCode = kFileTypeNativeFloat24;
        staged->saveAsRequired = 0;
        const std::string path = recording.GetFilePath();
        if (!inMemory) {
            // The recording stays where it is and becomes the data file, a
            // scratch file like any other: it goes when nothing reads it.
            staged->dataFile = platform::ShareRemovedWhenReleased(path);
            *staged->dataFile = std::move(recording);
            staged->dataFilePath = path;
            for (int i = 0; i < n; ++i) {
                CChannels& ch = staged->channels[static_cast<std::size_t>(i)];
                ch.sourceFile = staged->dataFile;
                ch.stride = n;
            }
        }
        AdoptRecording(std::move(staged));
        if (inMemory) {
            recording.Close();
            if (!path.empty())
                std::remove(path.c_str());
        }
    } catch (const platform::FileException&) {
        return 0;
    } catch (const std::bad_alloc&) {
        m_prompts.Beep();
        m_prompts.Message(kNoMemoryMessage, platform::Buttons::Ok, platform::Icon::Warning);
        return 0;
    }

    TakeNewRecordingSettings(rate);
    return 1;
}

void COrielDoc::TakeNewRecordingSettings(int rate) {
    dataLoaded = 1;
    m_modified = true;
    neverSaved = 1;
    const CChannels& loaded = Channel(0);
    settings.sampleRate = loaded.rate;
    settings.sampleCount = loaded.sampleCount;
    settings.duration = loaded.duration;
    if (m_app.settings.currentSampleRate != rate) {
        m_app.settings.currentSampleRate = rate;
        const double r = rate;
        settings.fftLpc.values[FftLpcSettings::kWindowMs] = DefaultAnalysisWindowMs(r);
        settings.fftLpc.values[FftLpcSettings::kTopFrequency] = DefaultTopFrequency(r);
        settings.fftLpc.values[FftLpcSettings::kLpcOrder] = std::min(400, EvenAtOrBelow(DefaultLpcOrder(r)));
        settings.spectrogram.values[SpectrogramSettings::kTopFrequency] = DefaultTopFrequency(r);
        settings.spectrogram.values[SpectrogramSettings::kLpcOrder] = EvenAtOrBelow(DefaultLpcOrder(r));
    }
}

}  // namespace vocomet
