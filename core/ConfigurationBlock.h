#pragma once
// The settings block: one 2976-byte binary record kept as "VocometConf.cfg"
// in the temp folder. Other installations read and write the same file, so
// every field lives at a fixed offset, little-endian, and is read and
// written one at a time; the record is never copied as a struct.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ByteCodec.h"

namespace vocomet {

namespace cfg {

inline constexpr std::size_t kBlockSize = 2976;
inline constexpr const char* kSignature = "2005";
inline constexpr const char* kFileName = "VocometConf.cfg";

// --- application part ------------------------------------------------------
inline constexpr std::size_t kSignatureAt = 0;          // text[16]
inline constexpr std::size_t kSignatureSize = 16;
inline constexpr std::size_t kPlayGridChannelAt = 16;   // int
inline constexpr std::size_t kInputSourceAt = 20;       // text[16]
inline constexpr std::size_t kOutputRouteAt = 36;       // text, see below
inline constexpr std::size_t kRoutingTextSize = 16;
// "External Hardware" is longer than its 16-byte field: the route text has
// always run on into the unused 16 bytes after it (52-67), so the route is
// written and read within those 32 bytes.
inline constexpr std::size_t kOutputRouteSize = 32;
inline constexpr std::size_t kRecordPlaySettingAt = 68; // int
inline constexpr std::size_t kChannelEnabledAt = 72;    // int[17]
inline constexpr std::size_t kChannelRateAt = 140;      // int[17]
inline constexpr std::size_t kChannelCutoffAt = 208;    // int[17]
inline constexpr std::size_t kChannelGainAt = 276;      // int[17]
inline constexpr std::size_t kConnectorAt = 344;        // text[16] of 16
inline constexpr std::size_t kConnectorSize = 16;
inline constexpr std::size_t kPlacementsAt = 856;       // 11 x int[4]

// --- document part ---------------------------------------------------------
inline constexpr std::size_t kSampleRateAt = 1032;      // double
inline constexpr std::size_t kSampleCountAt = 1040;     // double
inline constexpr std::size_t kDurationAt = 1048;        // double
inline constexpr std::size_t kDisplayPictureAt = 1056;  // 2 double
inline constexpr std::size_t kDisplayMouseReadoutAt = 1072;
inline constexpr std::size_t kDisplayFourthAt = 1076;
inline constexpr std::size_t kDisplayFifthAt = 1080;
inline constexpr std::size_t kDisplaySixthAt = 1084;
inline constexpr std::size_t kDisplayFirstAt = 1088;
inline constexpr std::size_t kZoomAt = 1092;            // int, whole ms
inline constexpr std::size_t kFftIntsAAt = 1096;        // int[8]: values 1-8
inline constexpr std::size_t kFftPictureAt = 1128;      // 2 double
inline constexpr std::size_t kFftIntsBAt = 1144;        // int[8]: values 9-16
inline constexpr std::size_t kIntensityWindowAt = 1176; // int[16]
inline constexpr std::size_t kIntensityStepAt = 1240;   // int[16]
inline constexpr std::size_t kIntensityModeAt = 1304;   // int[16]
inline constexpr std::size_t kSmoothingSwitchAt = 1368; // int[16]
inline constexpr std::size_t kSmoothingPointsAt = 1432; // int[16]
inline constexpr std::size_t kSpectroIntsAAt = 1496;    // int[4]: values 1-4
inline constexpr std::size_t kSpectroPreEmphasisAt = 1512;
inline constexpr std::size_t kSpectroIntsBAt = 1520;    // int[3]: values 5-7
inline constexpr std::size_t kSpectroPictureAt = 1536;  // 2 double
inline constexpr std::size_t kSpectroIntsCAt = 1552;    // int[7]: values 8-14
inline constexpr std::size_t kPitchDoublesAAt = 1584;   // double[4]: 1-4
inline constexpr std::size_t kPitchIntsAAt = 1616;      // int[7]: 1-7
inline constexpr std::size_t kPitchDoublesBAt = 1648;   // double[4]: 5-8
inline constexpr std::size_t kPitchPictureAt = 1680;    // 2 double
inline constexpr std::size_t kPitchIntsBAt = 1696;      // int[5]: 8-12
inline constexpr std::size_t kGenericAnswersAt = 1716;  // int[5]
inline constexpr std::size_t kDocumentSettingsEnd = 1736;  // end of what Load and Save Configuration carry
inline constexpr std::size_t kCalibrationX3At = 1736;   // double[16]
inline constexpr std::size_t kCalibrationX2At = 1864;
inline constexpr std::size_t kCalibrationX1At = 1992;
inline constexpr std::size_t kCalibrationX0At = 2120;
inline constexpr std::size_t kUnitAt = 2248;            // text[16] of 32
inline constexpr std::size_t kUnitSize = 32;
inline constexpr std::size_t kLogStepAt = 2760;         // double
inline constexpr std::size_t kRecordingFormAt = 2768;   // int[17]
inline constexpr std::size_t kEggChannelAt = 2836;
inline constexpr std::size_t kEggSettingAt = 2840;
inline constexpr std::size_t kEggVelocitySmoothingAt = 2844;      // int, whole ms
inline constexpr std::size_t kEggAccelerationSmoothingAt = 2848;  // int, whole ms
inline constexpr std::size_t kEggShowVelocityAt = 2852;
inline constexpr std::size_t kEggShowAccelerationAt = 2856;
inline constexpr std::size_t kEggShowPeaksAt = 2860;
inline constexpr std::size_t kEggShowValleysAt = 2864;
inline constexpr std::size_t kEggShowThresholdAt = 2868;
inline constexpr std::size_t kFormantPlotAt = 2872;     // int[9]
inline constexpr std::size_t kFormantFontAt = 2908;     // 60-byte font record
inline constexpr std::size_t kFormantFontColourAt = 2968;

// Rows of the per-channel tables (the first sixteen document channels), of
// the ChannelSetup arrays, of the placements and of the recording-form ints.
inline constexpr int kSettingsChannels = 16;
inline constexpr int kSetupRecords = 17;
inline constexpr int kPlacementSlots = 11;
inline constexpr int kRecordingFormInts = 17;

}  // namespace cfg

// The whole record in memory. A block read from a file remembers how many
// bytes the file held: a field that the file did not reach counts as
// missing, even though its bytes (zero) are there.
class ConfigurationBlock {
public:
    // A zero-filled block whose every field counts as present.
    ConfigurationBlock();

    const std::uint8_t* data() const { return m_bytes.data(); }
    std::uint8_t* data() { return m_bytes.data(); }
    static constexpr std::size_t size() { return cfg::kBlockSize; }

    platform::ByteView View() const { return platform::ByteView(m_bytes.data(), m_bytes.size()); }
    platform::ByteSpan Span() { return platform::ByteSpan(m_bytes.data(), m_bytes.size()); }

    // Zero-fills the block and reads the file into it (at most the block's
    // size). Throws platform::UserException when the file cannot be opened
    // and platform::FileException on a read error.
    void Read(const std::string& path);
    // As Read, but returns false in place of throwing.
    bool TryRead(const std::string& path) noexcept;
    // Writes the whole block through a scratch file and a rename. Throws
    // platform::UserException / platform::FileException.
    void Write(const std::string& path) const;

    // Bytes the last Read took from its file (the block's size otherwise).
    std::size_t GetValidLength() const { return m_validLength; }
    // True when the field lies wholly within what was read.
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_validLength && count <= m_validLength - offset;
    }

    // The text at offset 0, up to its NUL, is the signature.
    bool HasSignature() const;
    void PutSignature();

    bool operator==(const ConfigurationBlock& other) const { return m_bytes == other.m_bytes; }

private:
    std::array<std::uint8_t, cfg::kBlockSize> m_bytes{};
    std::size_t m_validLength = cfg::kBlockSize;
};

// The settings file of a temp folder: folder + "/VocometConf.cfg".
std::string ConfigurationFilePath(const std::string& tempFolder);

}  // namespace vocomet
