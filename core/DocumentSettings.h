#pragma once
// The settings a recording document keeps in the settings block: display,
// zoom, FFT/LPC, spectrogram, pitch, generic-file answers, the persisted
// settings of the first sixteen channels (intensity, smoothing, calibration,
// unit), the log selection step, the EGG settings and the formant plot.
// Every new document starts from the block; the routines here read that part
// of a block (checking every value, so a bad field takes its default) and
// write it back.

#include <array>
#include <string>

#include "platform/WinTypes.h"

namespace vocomet {

class ConfigurationBlock;

// Display options. The two doubles are the picture size used by printing
// and bitmap export; mouseReadout is the last display int.
struct DisplaySettings {
    int first = 1;
    double pictureWidth = 6.0;
    double pictureHeight = 4.0;
    int fourth = 1;
    int fifth = 0;
    int sixth = 0;
    int mouseReadout = 1;
};

// FFT/LPC window settings: values 1 to 16 and the picture size.
struct FftLpcSettings {
    static constexpr int kPoints = 1;        // value 2: analysis points
    static constexpr int kWindowMs = 2;      // value 3: analysis window in ms
    static constexpr int kTopFrequency = 4;  // value 5: top frequency in Hz
    static constexpr int kLpcOrder = 13;     // value 14: LPC order
    static constexpr int kLogOption = 15;    // value 16: also read by the log options
    std::array<int, 16> values{3, 256, 23, 10, 5000, 1, 80, 1, 0, 1, 1000, 1, 20, 14, 1, 10};
    double pictureWidth = 6.0;
    double pictureHeight = 4.0;
};

// Spectrogram settings: values 1 to 14, pre-emphasis and picture size.
struct SpectrogramSettings {
    static constexpr int kPoints = 0;        // value 1
    static constexpr int kTopFrequency = 2;  // value 3
    static constexpr int kLpcOrder = 5;      // value 6
    std::array<int, 14> values{64, 2, 5000, 55, 1, 14, 1, 0, 0, 0, 1, 1000, 1, 500};
    double preEmphasis = 0.98;
    double pictureWidth = 6.0;
    double pictureHeight = 4.0;
};

// Pitch settings kept in the block: doubles 1 to 8, ints 1 to 12 (the
// pitch window's four unpersisted ints stay with the document).
struct PitchSettings {
    static constexpr int kWindowMs = 0;  // double 1
    static constexpr int kStepMs = 1;    // double 2
    std::array<double, 8> doubles{35.0, 10.0, 500.0, 50.0, 1.0, 100.0, 1.0, 100.0};
    std::array<int, 12> ints{500, 50, 1, 20, 1, 500, 1, 1, 1, 1, 1, 1};
    double pictureWidth = 6.0;
    double pictureHeight = 4.0;
};

// The last answers of the generic-file dialog.
struct GenericFileAnswers {
    int headerBytes = 0;
    int sampleRate = 10000;
    int integerBinary = 1;  // 1 integer binary, 0 ASCII
    int sixteenBit = 1;     // 1 16-bit, 0 8-bit
    int highByteFirst = 1;  // 1 high byte first, 0 low byte first
};

// What the block keeps of each of the first sixteen channels.
struct ChannelSettings {
    double intensityWindow = 30.0;  // ms, stored whole
    double intensityStep = 10.0;    // ms, stored whole
    int intensityMode = 0;          // absolute/relative flag
    int smoothingSwitch = 0;
    double smoothingPoints = 5.0;   // stored whole
    // Coefficients of x^3, x^2, x and the constant.
    std::array<double, 4> calibration{0.0, 0.0, 1.0, 0.0};
    std::string unit = "normalized";  // 8-bit text, at most 31 bytes stored
};

// EGG settings: the EGG channel and, for that channel, its smoothing times
// and show flags.
struct EggSettings {
    int channel = -1;  // -1 none, else 0 to 19
    int setting = 25;
    double velocitySmoothing = 1.0;      // ms, stored whole
    double accelerationSmoothing = 1.0;  // ms, stored whole
    int showVelocity = 0;
    int showAcceleration = 0;
    int showPeaks = 0;
    int showValleys = 0;
    int showThreshold = 0;
};

struct FormantPlotSettings {
    static constexpr int kF1Range = 6;
    static constexpr int kF2Range = 7;
    static constexpr int kF3Range = 8;
    // Formant pair (0 F1/F2), draw data, ellipse, mean, mean label,
    // individual labels, F1, F2 and F3 axis ranges in Hz.
    std::array<int, 9> values{0, 1, 1, 1, 1, 1, 1600, 3000, 3000};
    platform::LogFontA font = platform::DefaultGuiFont();
    platform::ColorRef fontColour = 0;
};

inline constexpr int kDocumentSlots = 20;          // channel slots of a document
inline constexpr int kPersistedChannels = 16;      // channels whose settings the block keeps

// The default member values are those of a freshly constructed document;
// ResetSettings gives the defaults the document falls back to.
struct DocumentSettings {
    double sampleRate = 11025.0;
    double sampleCount = 0.0;
    double duration = 0.0;  // ms
    DisplaySettings display;
    double zoomDuration = 1000.0;  // ms, stored whole
    FftLpcSettings fftLpc;
    SpectrogramSettings spectrogram;
    PitchSettings pitch;
    GenericFileAnswers genericAnswers;
    std::array<ChannelSettings, kPersistedChannels> channels{};
    double logSelectionStep = 1.0;  // ms
    EggSettings egg;
    FormantPlotSettings formantPlot;

    // The document's reset values: rate 22050, the FFT/LPC and spectrogram
    // values that follow from it, log step 1.0, calibration 0, 0, 1, 0 and
    // unit "normalized" for every persisted channel, the default font.
    void ResetSettings();
    static DocumentSettings Reset();

    // What the start-up default writer stores: the reset values with the
    // given rate, picture size 8.0 x 6.0, sixth display value 1, log step
    // 10.0, EGG smoothing 0 and 0 and show flags 0, 0, 1, 1, 1.
    static DocumentSettings StartDefaults(double currentSampleRate);
};

// The values that follow from the rate the defaults are made for (22050 in
// every default writer): the analysis window of 256 points in whole ms, the
// top frequency (half the rate, rounded down to a thousand) and the LPC
// order.
int DefaultAnalysisWindowMs(double rate);
int DefaultTopFrequency(double rate);
int DefaultLpcOrder(double rate);

// What a recording opened at `rate` can be analysed with: a frequency range
// (FFT/LPC and spectrogram) above half the rate comes down to
// DefaultTopFrequency, an LPC order above what the analysis windows accept
// at that rate (rate / 1000 + 10) to the rate's own even default order, as
// a fresh recording at that rate gets. Values that fit stay; below 2000 Hz
// nothing is changed.
void LimitAnalysisToRate(DocumentSettings& settings, double rate);

// --- the document part of a block ------------------------------------------

// What a new document takes from the block: everything of the document part
// except the sample rate, count and duration (1032-1055) and the mouse
// read-out setting, which is set to 1. The EGG channel's smoothing times and
// show flags are taken only for a channel index of 0 to 19. A field that the
// file did not reach, or that holds a value its option dialog would not have
// stored (an FFT size the size lists do not offer, an odd LPC order or one
// outside 4 to 100, a calibration coefficient beyond the calibration grid's
// "####.########", a flag other than 0 or 1, a non-finite number, ...),
// takes its reset value.
void ReadDocumentPart(const ConfigurationBlock& block, DocumentSettings& settings);

// What Load Configuration applies to an open document (1032-1735): sample
// rate, count and duration, display (with the mouse read-out), zoom,
// FFT/LPC, intensity and smoothing of the first sixteen channels,
// spectrogram, pitch and generic-file answers. Calibration, units, log step,
// EGG and formant plot stay as they are. Checked like ReadDocumentPart.
void ReadLoadedDocumentPart(const ConfigurationBlock& block, DocumentSettings& settings);

// Writes every document field: 1032-1735, calibration and units
// (1736-2759), log step (2760), EGG (2836-2871) and formant plot with its
// font and colour (2872-2971). Used by both default writers.
void WriteDocumentPart(ConfigurationBlock& block, const DocumentSettings& settings);

// Writes what Save Configuration takes from a document: 1032-1735, with the
// zoom, intensity window and step and smoothing points as whole numbers.
void WriteSavedDocumentPart(ConfigurationBlock& block, const DocumentSettings& settings);

}  // namespace vocomet
