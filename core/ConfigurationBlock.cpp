#include "core/ConfigurationBlock.h"

#include "platform/BinaryFile.h"
#include "platform/File.h"

namespace vocomet {

ConfigurationBlock::ConfigurationBlock() = default;

void ConfigurationBlock::Read(const std::string& path) {
    m_bytes.fill(0);
    m_validLength = 0;
    m_validLength = platform::ReadBinaryFile(path, m_bytes.data(), m_bytes.size());
}

bool ConfigurationBlock::TryRead(const std::string& path) noexcept {
    try {
        Read(path);
        return true;
    } catch (const platform::UserException&) {
    } catch (const platform::FileException&) {
    } catch (const std::exception&) {
    }
    m_bytes.fill(0);
    m_validLength = 0;
    return false;
}

void ConfigurationBlock::Write(const std::string& path) const {
    platform::WriteBinaryFile(path, m_bytes.data(), m_bytes.size());
}

bool ConfigurationBlock::HasSignature() const {
    return View().Text(cfg::kSignatureAt, cfg::kSignatureSize) == cfg::kSignature;
}

void ConfigurationBlock::PutSignature() {
    Span().Text(cfg::kSignatureAt, cfg::kSignatureSize, cfg::kSignature);
}

std::string ConfigurationFilePath(const std::string& tempFolder) {
    if (tempFolder.empty() || tempFolder.back() == '/')
        return tempFolder + cfg::kFileName;
    return tempFolder + "/" + cfg::kFileName;
}

}  // namespace vocomet
