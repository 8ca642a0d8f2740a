#include "core/ScratchDataFile.h"

#include "core/COrielDoc.h"
#include "core/RecordingData.h"

namespace vocomet {

ScratchDataFile::ScratchDataFile(COrielDoc& document) : m_file(std::make_shared<platform::File>()) {
    try {
        m_path = document.MakeTempFileName();
        platform::FileException error(platform::FileException::Cause::Generic, m_path,
                                      "Cannot create \"" + m_path + "\"");
        if (!m_file->Open(m_path, platform::File::Mode::Create, &error))
            throw error;
    } catch (const platform::FileException&) {
        // The name was reserved by an exclusive create: give it back.
        if (!m_path.empty())
            platform::RemoveFile(m_path);
        throw;
    }
}

ScratchDataFile::~ScratchDataFile() {
    if (m_adopted)
        return;
    m_file->Close();
    platform::RemoveFile(m_path);
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
    m_adopted = true;
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
