#include "core/DocumentFormats.h"

#include "core/AiffFile.h"
#include "core/GenericFiles.h"
#include "core/NativeReaders.h"
#include "core/NativeWriters.h"
#include "core/NistSphereFile.h"
#include "core/NspFile.h"
#include "core/OldNativeReaders.h"
#include "core/WaveFile.h"

namespace vocomet {

const char* ReaderName(ReaderSlot slot) {
    switch (slot) {
    case ReaderSlot::ReadUsb2FloatFile: return "ReadUsb2FloatFile";
    case ReaderSlot::ReadKovPcFloat24File: return "ReadKovPcFloat24File";
    case ReaderSlot::ReadKovPcFloatFile: return "ReadKovPcFloatFile";
    case ReaderSlot::ReadKovPcFile: return "ReadKovPcFile";
    case ReaderSlot::ReadKovePcFile: return "ReadKovePcFile";
    case ReaderSlot::ReadOldPcFile: return "ReadOldPcFile";
    case ReaderSlot::ReadOldMacFile: return "ReadOldMacFile";
    case ReaderSlot::ReadKovMacFile: return "ReadKovMacFile";
    case ReaderSlot::ReadWaveFile: return "ReadWaveFile";
    case ReaderSlot::ReadNspFile: return "ReadNspFile";
    case ReaderSlot::ReadAiffFile: return "ReadAiffFile";
    case ReaderSlot::ReadNistSphereFile: return "ReadNistSphereFile";
    case ReaderSlot::ReadIntegerBinaryFile: return "ReadIntegerBinaryFile";
    case ReaderSlot::ReadAsciiFile: return "ReadAsciiFile";
    }
    return "";
}

RecordingData& LoadTarget::Recording() {
    if (!m_recording) {
        if (m_make)
            m_recording = m_make();
        if (!m_recording)
            m_recording = std::make_unique<RecordingData>();
    }
    return *m_recording;
}

void LoadTarget::Refuse(std::string reason) {
    if (m_refusal.empty())
        m_refusal = std::move(reason);
}

void DocumentFormats::SetWriter(int fileTypeCode, DocumentWriter writer) {
    if (writer)
        m_writers[fileTypeCode] = std::move(writer);
    else
        m_writers.erase(fileTypeCode);
}

const DocumentWriter* DocumentFormats::FindWriter(int fileTypeCode) const {
    const auto it = m_writers.find(fileTypeCode);
    return it == m_writers.end() ? nullptr : &it->second;
}

const DocumentFormats& StandardDocumentFormats() {
    // Each reader and writer is added here as it is built, e.g.
    //   formats.SetReader(ReaderSlot::ReadWaveFile, ReadWaveFile);
    //   formats.SetWriter(kFileTypeWave, WriteWaveFile);
    static const DocumentFormats formats = [] {
        DocumentFormats f;
        RegisterNativeReaders(f);
        RegisterNativeWriters(f);
        RegisterWaveFormats(f);
        RegisterOldNativeReaders(f);
        RegisterNspReader(f);
        RegisterAiffReader(f);
        RegisterNistSphereReader(f);
        RegisterGenericReaders(f);
        return f;
    }();
    return formats;
}

}  // namespace vocomet
