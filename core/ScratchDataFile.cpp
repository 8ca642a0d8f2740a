#include "core/ScratchDataFile.h"

#include "core/COrielDoc.h"
#include "core/RecordingData.h"

namespace vocomet {

namespace {

// Closes a scratch data file and removes it from disk once its last holder
// lets go.
struct RemoveWhenReleased {
    std::string path;
    void operator()(platform::File* file) const noexcept {
        delete file;
        platform::RemoveFile(path);
    }
};

}  // namespace

ScratchDataFile::ScratchDataFile(COrielDoc& document) : m_path(document.MakeTempFileName()) {
    // The name was reserved by an exclusive create: from here on it is ours,
    // and goes with the file whatever happens next.
    m_file = std::shared_ptr<platform::File>(new platform::File(), RemoveWhenReleased{m_path});
    platform::FileException error(platform::FileException::Cause::Generic, m_path,
                                  "Cannot create \"" + m_path + "\"");
    if (!m_file->Open(m_path, platform::File::Mode::Create, &error))
        throw error;
}

void ScratchDataFile::AdoptInto(RecordingData& recording, std::size_t channelCount) {
    for (std::size_t c = 0; c < channelCount; ++c) {
        CChannels& ch = recording.channels[c];
        ch.samples.Free();
        ch.sourceFile = m_file;
        ch.stride = static_cast<std::int32_t>(channelCount);
        // Frames hold the channels in their order, whatever numbers their
        // headers carry.
        ch.channelNumber = static_cast<std::int32_t>(c + 1);
    }
    recording.dataFile = m_file;
    recording.dataFilePath = m_path;
}

void ThrottledProgress::Update(double done, double total) {
    if (!m_progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastShown >= std::chrono::milliseconds(200) || done >= total) {
        m_progress->SetFraction(total > 0 ? done / total : 1.0);
        m_lastShown = now;
    }
}

}  // namespace vocomet
