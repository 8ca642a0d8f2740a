#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ConfigurationTestUtil.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationFile.h"
#include "core/ScratchDataFile.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;
using platform::Answer;
using test::ReadAll;
using test::WriteAll;

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DocTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        app.tempFolder = dir;
        app.settings = test::GoldenApplication();
    }

    std::string ConfigPath() const { return app.ConfigurationFilePath(); }
    std::string PathIn(const std::string& name) const { return dir + "/" + name; }

    // A document whose settings file is already there, holding a recording
    // of the given code with its own file.
    std::unique_ptr<COrielDoc> MakeDocument(int code, const std::string& ownPath, int channels = 1) {
        auto doc = std::make_unique<COrielDoc>(app, prompts);
        doc->SetFileTypeCode(code);
        doc->SetChannelCount(channels);
        doc->dataLoaded = 1;
        doc->neverSaved = ownPath.empty() ? 1 : 0;
        doc->SetSaveAsRequired(IsSavedInPlace(code) ? 0 : 1);
        doc->SetPathName(ownPath);
        doc->SetModifiedFlag(true);
        return doc;
    }

    // Writers for the four codes that write "code N" and note the request.
    void AddFakeWriters(COrielDoc& doc) {
        for (int code : {1, 2, 4, 11})
            doc.Formats().SetWriter(code, [this, code](COrielDoc&, platform::File& f, const WriteRequest& r) {
                written.push_back({code, r});
                const std::string text = "code " + std::to_string(code);
                f.Write(text.data(), text.size());
            });
    }

    struct Written {
        int code;
        WriteRequest request;
    };

    std::string dir;
    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::vector<Written> written;
};

// ---- construction ----------------------------------------------------------------

TEST_F(DocTest, ConstructionTakesTheDocumentPartOfAGoodSettingsFile) {
    DocumentSettings s = DocumentSettings::Reset();
    s.fftLpc.values[FftLpcSettings::kWindowMs] = 17;
    s.spectrogram.preEmphasis = 0.5;
    s.channels[3].unit = "Pa";
    s.channels[3].calibration = {1.0, 2.0, 3.0, 4.0};
    s.channels[3].intensityWindow = 40.0;
    s.egg.channel = 2;
    s.egg.velocitySmoothing = 3.0;
    s.egg.showPeaks = 1;
    s.sampleRate = 8000.0;  // not taken by a document
    const ConfigurationBlock block = MakeDocumentDefaultBlock(app.settings, s);
    test::WriteBlockFile(ConfigPath(), block);

    COrielDoc doc(app, prompts);
    EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kWindowMs], 17);
    EXPECT_EQ(doc.settings.spectrogram.preEmphasis, 0.5);
    EXPECT_EQ(doc.settings.sampleRate, 11025.0);
    EXPECT_EQ(doc.Channel(3).unit, "Pa");
    EXPECT_EQ(doc.Channel(3).calB, 2.0);
    EXPECT_EQ(doc.Channel(3).intensityWindow, 40.0);
    EXPECT_EQ(doc.Channel(2).velocitySmoothing, 3.0);
    EXPECT_EQ(doc.Channel(2).drawPeaks, 1);
    EXPECT_EQ(doc.Channel(0).unit, "normalized");
    EXPECT_EQ(doc.Channel(16).unit, "");  // the readers name the units beyond sixteen
    EXPECT_EQ(doc.GetFileTypeCode(), kFileTypeNone);
    EXPECT_EQ(ReadAll(ConfigPath()), test::BytesOf(block));  // read, not rewritten
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DocTest, ConstructionReplacesAForeignOrMissingSettingsFileWithDefaults) {
    for (bool foreign : {true, false}) {
        SCOPED_TRACE(foreign ? "foreign" : "missing");
        platform::RemoveFile(ConfigPath());
        if (foreign) {
            ConfigurationBlock b = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());
            b.Span().Text(cfg::kSignatureAt, cfg::kSignatureSize, "1999");
            b.Span().I32LE(cfg::kFftIntsAAt + 8, 17);
            test::WriteBlockFile(ConfigPath(), b);
        }
        COrielDoc doc(app, prompts);
        EXPECT_EQ(doc.settings.sampleRate, 22050.0);  // the reset rate
        EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kWindowMs], 11);
        EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kLpcOrder], 26);
        EXPECT_EQ(doc.Channel(5).unit, "normalized");
        EXPECT_EQ(doc.Channel(5).calC, 1.0);
        DocumentSettings reset = DocumentSettings::Reset();
        EXPECT_EQ(ReadAll(ConfigPath()), test::BytesOf(MakeDocumentDefaultBlock(app.settings, reset)));
        EXPECT_TRUE(prompts.messages.empty());
    }
}

// ---- destruction -------------------------------------------------------------------

TEST_F(DocTest, DestructionWritesOnlyTheSignatureAndPlacementsIntoACompleteSettingsFile) {
    auto doc = std::make_unique<COrielDoc>(app, prompts);
    const ConfigurationBlock before = test::SentinelBlock(true);
    test::WriteBlockFile(ConfigPath(), before);
    app.settings.placements[3] = {7, 8, 9, 10};
    doc.reset();

    const ConfigurationBlock after = test::BlockFromBytes(ReadAll(ConfigPath()));
    test::ExpectOnlyChanged(before, after, {{0, 16}, {cfg::kPlacementsAt, cfg::kPlacementsAt + 176}});
    EXPECT_TRUE(after.HasSignature());
    EXPECT_EQ(after.View().I32LE(cfg::kPlacementsAt + 3 * 16 + 12), 10);
    EXPECT_EQ(after.View().I32LE(cfg::kPlacementsAt + 10 * 16), 1001);
}

TEST_F(DocTest, DestructionLeavesForeignShortAndMissingSettingsFilesAlone) {
    ConfigurationBlock foreign = test::SentinelBlock(false);
    const std::string foreignBytes = test::BytesOf(foreign);
    const std::string shortBytes = test::BytesOf(test::SentinelBlock(true)).substr(0, 2000);
    for (const std::string* bytes : {&foreignBytes, &shortBytes, static_cast<const std::string*>(nullptr)}) {
        auto doc = std::make_unique<COrielDoc>(app, prompts);
        if (bytes)
            WriteAll(ConfigPath(), *bytes);
        else
            platform::RemoveFile(ConfigPath());
        doc.reset();
        if (bytes) {
            EXPECT_EQ(ReadAll(ConfigPath()), *bytes);
        } else {
            EXPECT_FALSE(platform::PathExists(ConfigPath()));
        }
    }
}

// ---- temp names ------------------------------------------------------------------------

TEST_F(DocTest, TempNamesCountUpAndSkipFilesInTheWay) {
    COrielDoc doc(app, prompts);
    COrielDoc other(app, prompts);
    const std::string first = doc.MakeTempFileName();
    const std::string prefix = dir + "/$$TempFile";
    ASSERT_EQ(first.rfind(prefix, 0), 0u) << first;
    const long n = std::stol(first.substr(prefix.size()));
    EXPECT_TRUE(platform::PathExists(first));  // reserved

    // The counter is shared by all documents.
    EXPECT_EQ(other.MakeTempFileName(), prefix + std::to_string(n + 1));

    WriteAll(prefix + std::to_string(n + 2), "someone else's");
    WriteAll(prefix + std::to_string(n + 3), "someone else's");
    EXPECT_EQ(doc.MakeTempFileName(), prefix + std::to_string(n + 4));
    EXPECT_EQ(ReadAll(prefix + std::to_string(n + 2)), "someone else's");
}

// ---- opening -------------------------------------------------------------------------------

struct ChainCase {
    const char* name;
    std::vector<int> results;     // results of the first readers; the rest return -1
    bool genericReaders;          // integer binary and ASCII readers registered
    std::vector<std::string> expectedCalls;
    bool loaded;
    const char* report;           // the failure report expected, if any
    std::vector<int> refusing = {};  // readers that refuse with the reason "reason <index>"
};

// Cases print as their names, so test names stay short and stable.
void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

class ReaderChain : public DocTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(ReaderChain, EachResultDecidesWhatIsCalledNext) {
    const ChainCase& c = GetParam();
    const std::string file = PathIn("input.bin");
    WriteAll(file, "some bytes");
    COrielDoc doc(app, prompts);
    std::vector<std::string> calls;
    for (int i = 0; i < kReaderSlotCount; ++i) {
        const auto slot = static_cast<ReaderSlot>(i);
        const bool chained = i < kChainedReaderCount;
        if (!chained && !c.genericReaders) {
            doc.Formats().SetReader(slot, nullptr);
            continue;
        }
        const int result = chained && static_cast<std::size_t>(i) < c.results.size() ? c.results[i] : -1;
        const bool refuses = std::find(c.refusing.begin(), c.refusing.end(), i) != c.refusing.end();
        doc.Formats().SetReader(slot, [&calls, slot, result, i, refuses](COrielDoc&, platform::File& f, LoadTarget& t) {
            calls.push_back(ReaderName(slot));
            EXPECT_EQ(f.GetPosition(), 0);
            EXPECT_FALSE(t.HasRecording()) << "a recording is made only when a reader asks";
            if (refuses) {
                t.Refuse("reason " + std::to_string(i));
                return -1;
            }
            RecordingData& r = t.Recording();
            r.channelCount = 1;
            r.fileTypeCode = 100 + i;
            r.channels[0].rate = 8000.0;
            r.channels[0].sampleCount = 80.0;
            r.channels[0].duration = 10.0;
            return result;
        });
    }
    int dialogs = 0;
    doc.Hooks().askGenericFile = [&dialogs](const GenericFileAnswers&) {
        ++dialogs;
        return std::optional<GenericFileAnswers>(GenericFileAnswers{});
    };

    EXPECT_EQ(doc.OnOpenDocument(file), c.loaded);
    EXPECT_EQ(calls, c.expectedCalls);
    EXPECT_EQ(dialogs, c.expectedCalls.size() > static_cast<std::size_t>(kChainedReaderCount) ? 1 : 0);
    EXPECT_EQ(doc.IsDataLoaded(), c.loaded);
    if (c.report) {
        EXPECT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), c.report);
    } else {
        EXPECT_TRUE(prompts.messages.empty());
    }
    EXPECT_EQ(prompts.busyDepth, 0);
    if (c.loaded) {
        EXPECT_EQ(doc.GetChannelCount(), 1);
        EXPECT_EQ(doc.GetPathName(), file);
        EXPECT_EQ(doc.GetTitle(), "input.bin");
        EXPECT_EQ(doc.neverSaved, 0);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.settings.sampleRate, 8000.0);
        EXPECT_EQ(doc.settings.duration, 10.0);
        EXPECT_EQ(app.settings.currentSampleRate, 8000.0);
    } else {
        // What a refused reader filled never reaches the document.
        EXPECT_EQ(doc.GetChannelCount(), 0);
        EXPECT_EQ(doc.GetFileTypeCode(), kFileTypeNone);
        EXPECT_EQ(doc.GetPathName(), "");
    }
}

std::vector<std::string> Chain(int n) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
        names.push_back(ReaderName(static_cast<ReaderSlot>(i)));
    return names;
}

std::vector<std::string> ChainThen(std::vector<std::string> more) {
    std::vector<std::string> names = Chain(kChainedReaderCount);
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

const std::string kRefused2 = std::string(kFailedToOpenDocument) + "\n\nreason 2";
const std::string kRefused8 = std::string(kFailedToOpenDocument) + "\n\nreason 8";

INSTANTIATE_TEST_SUITE_P(
    Open, ReaderChain,
    ::testing::Values(
        ChainCase{"FirstLoads", {1}, false, Chain(1), true, nullptr},
        ChainCase{"ThirdLoads", {-1, -1, 1}, false, Chain(3), true, nullptr},
        ChainCase{"OtherValuesGoOn", {-1, 7, 1}, false, Chain(3), true, nullptr},
        ChainCase{"ZeroEndsTheOpen", {-1, 0, 1}, false, Chain(2), false, nullptr},
        ChainCase{"WaveLoads", {-1, -1, -1, -1, -1, -1, -1, -1, 1}, false, Chain(9), true, nullptr},
        ChainCase{"NoneAndNoGenericReaders", {}, false, Chain(kChainedReaderCount), false, kFailedToOpenDocument},
        // Any result but 0 of a generic reader loads the file.
        ChainCase{"GenericMinusOneLoads", {}, true, ChainThen({"ReadIntegerBinaryFile"}), true, nullptr},
        // A file a reader knew but could not load: its reason, and no generic reading.
        ChainCase{"RefusalIsReported", {}, true, Chain(kChainedReaderCount), false, kRefused8.c_str(), {8}},
        ChainCase{"FirstRefusalIsKept", {}, false, Chain(kChainedReaderCount), false, kRefused2.c_str(), {2, 8}},
        ChainCase{"LaterReaderLoadsARefusedFile", {-1, -1, -1, -1, -1, -1, -1, -1, -1, 1}, true, Chain(10), true,
                  nullptr, {2}}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

// The generic fallback: dialog answers, integer binary reader result, ASCII
// reader result -> readers called, loaded.
struct GenericCase {
    const char* name;
    std::optional<int> integerBinaryAnswer;  // nothing: the dialog is cancelled
    int integerResult;
    int asciiResult;
    std::vector<std::string> expectedCalls;
    bool loaded;
};

void PrintTo(const GenericCase& c, std::ostream* os) { *os << c.name; }

class GenericFallback : public DocTest, public ::testing::WithParamInterface<GenericCase> {};

TEST_P(GenericFallback, DialogAnswersChooseTheReaders) {
    const GenericCase& c = GetParam();
    const std::string file = PathIn("data.txt");
    WriteAll(file, "1 2 3");
    COrielDoc doc(app, prompts);
    std::vector<std::string> calls;
    for (int i = 0; i < kChainedReaderCount; ++i)
        doc.Formats().SetReader(static_cast<ReaderSlot>(i), [](COrielDoc&, platform::File&, LoadTarget& t) {
            t.Recording().channelCount = 5;
            return -1;
        });
    auto generic = [&calls](const char* name, int result) {
        return [&calls, name, result](COrielDoc&, platform::File&, LoadTarget& t) {
            RecordingData& r = t.Recording();
            EXPECT_EQ(r.channelCount, 0) << "each reader gets a fresh recording";
            calls.push_back(name);
            r.channelCount = 1;
            r.fileTypeCode = 6;
            return result;
        };
    };
    doc.Formats().SetReader(ReaderSlot::ReadIntegerBinaryFile, generic("int", c.integerResult));
    doc.Formats().SetReader(ReaderSlot::ReadAsciiFile, generic("ascii", c.asciiResult));
    std::optional<GenericFileAnswers> offeredSeen;
    doc.settings.genericAnswers.sampleRate = 44100;  // answered last time; not offered again
    doc.Hooks().askGenericFile = [&](const GenericFileAnswers& offered) -> std::optional<GenericFileAnswers> {
        offeredSeen = offered;
        if (!c.integerBinaryAnswer)
            return std::nullopt;
        GenericFileAnswers a;
        a.headerBytes = 12;
        a.sampleRate = 16000;
        a.integerBinary = *c.integerBinaryAnswer;
        return a;
    };

    EXPECT_EQ(doc.OnOpenDocument(file), c.loaded);
    EXPECT_EQ(calls, c.expectedCalls);
    ASSERT_TRUE(offeredSeen);
    EXPECT_EQ(offeredSeen->headerBytes, 0);
    EXPECT_EQ(offeredSeen->sampleRate, 10000);
    EXPECT_EQ(offeredSeen->integerBinary, 1);
    EXPECT_EQ(offeredSeen->sixteenBit, 1);
    EXPECT_EQ(offeredSeen->highByteFirst, 1);
    EXPECT_EQ(doc.settings.genericAnswers.sampleRate, c.integerBinaryAnswer ? 16000 : 44100);
    EXPECT_EQ(doc.GetChannelCount(), c.loaded ? 1 : 0);
    EXPECT_EQ(doc.GetFileTypeCode(), c.loaded ? 6 : kFileTypeNone);
    EXPECT_TRUE(prompts.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Open, GenericFallback,
    ::testing::Values(GenericCase{"Cancelled", std::nullopt, 1, 1, {}, false},
                      GenericCase{"IntegerLoads", 1, 1, 1, {"int"}, true},
                      GenericCase{"IntegerFailsThenAscii", 1, 0, 1, {"int", "ascii"}, true},
                      GenericCase{"BothFail", 1, 0, 0, {"int", "ascii"}, false},
                      GenericCase{"IntegerMinusOneCountsAsLoaded", 1, -1, 1, {"int"}, true},
                      GenericCase{"AsciiChosen", 0, 1, 1, {"ascii"}, true},
                      GenericCase{"AsciiFails", 0, 1, 0, {"ascii"}, false}),
    [](const ::testing::TestParamInfo<GenericCase>& info) { return std::string(info.param.name); });

// The settings of a fresh start are made for 22050 Hz; a recording at a
// lower rate opens with its document's frequency ranges and LPC orders
// brought within what the rate allows, and the settings file stays as it is.
TEST_F(DocTest, AnOpenedRecordingGetsAnalysisSettingsItsRateAllows) {
    struct Case {
        double rate;
        int top, lpc;  // expected FFT/LPC and spectrogram top frequency and LPC order
    };
    // 26 is within the 26 allowed at 16 kHz: it stays.
    const Case cases[] = {{8000, 4000, 12}, {11025, 5000, 14}, {16000, 8000, 26}, {22050, 11000, 26}};
    const std::string file = PathIn("take.vcm");
    WriteAll(file, "take");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        COrielDoc doc(app, prompts);
        doc.settings = DocumentSettings::StartDefaults(22050.0);
        doc.settings.fftLpc.values[FftLpcSettings::kWindowMs] = 17;
        const std::string before = ReadAll(ConfigPath());
        const double rate = c.rate;
        doc.Formats().SetReader(ReaderSlot::ReadKovPcFloat24File, [rate](COrielDoc&, platform::File&, LoadTarget& t) {
            RecordingData& r = t.Recording();
            r.channelCount = 1;
            r.fileTypeCode = 1;
            r.channels[0].rate = rate;
            return 1;
        });
        ASSERT_TRUE(doc.OnOpenDocument(file));
        EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kTopFrequency], c.top);
        EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kLpcOrder], c.lpc);
        EXPECT_EQ(doc.settings.spectrogram.values[SpectrogramSettings::kTopFrequency], c.top);
        EXPECT_EQ(doc.settings.spectrogram.values[SpectrogramSettings::kLpcOrder], c.lpc);
        EXPECT_EQ(doc.settings.fftLpc.values[FftLpcSettings::kWindowMs], 17);  // not the rate's: it fits
        EXPECT_EQ(ReadAll(ConfigPath()), before);
    }
}

TEST_F(DocTest, AFailedOpenLeavesTheLoadedRecordingAsItWas) {
    const std::string good = PathIn("good.vcm");
    const std::string bad = PathIn("bad.vcm");
    WriteAll(good, "good");
    WriteAll(bad, "bad");
    COrielDoc doc(app, prompts);
    doc.Formats().SetReader(ReaderSlot::ReadKovPcFloat24File, [](COrielDoc&, platform::File& f, LoadTarget& t) {
        RecordingData& r = t.Recording();
        r.channelCount = 2;
        r.fileTypeCode = 1;
        r.channels[0].name = "Mic";
        if (f.GetLength() == 4)
            return 1;
        throw platform::FileException(platform::FileException::Cause::EndOfFile, f.GetFilePath(), "short read");
    });
    ASSERT_TRUE(doc.OnOpenDocument(good));
    EXPECT_FALSE(doc.OnOpenDocument(bad));
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text.rfind(kFailedToOpenDocument, 0), 0u);
    EXPECT_EQ(doc.GetPathName(), good);
    EXPECT_EQ(doc.GetChannelCount(), 2);
    EXPECT_EQ(doc.Channel(0).name, "Mic");

    // A reader that ends the open with a user exception has already spoken.
    doc.Formats().SetReader(ReaderSlot::ReadUsb2FloatFile,
                            [](COrielDoc&, platform::File&, LoadTarget&) -> int { throw platform::UserException(); });
    EXPECT_FALSE(doc.OnOpenDocument(good));
    EXPECT_EQ(prompts.messages.size(), 1u);

    // A file that cannot be opened.
    EXPECT_FALSE(doc.OnOpenDocument(PathIn("missing.vcm")));
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.busyDepth, 0);
}

TEST_F(DocTest, StagingRecordingsCarryTheChannelSettings) {
    COrielDoc doc(app, prompts);
    doc.Channel(4).unit = "cm";
    doc.Channel(4).calA = 0.5;
    doc.Channel(4).intensityStep = 7.0;
    doc.Channel(4).sampleCount = 99.0;
    const auto staging = doc.NewStagingRecording();
    EXPECT_EQ(staging->channels[4].unit, "cm");
    EXPECT_EQ(staging->channels[4].calA, 0.5);
    EXPECT_EQ(staging->channels[4].intensityStep, 7.0);
    EXPECT_EQ(staging->channels[4].sampleCount, 0.0);
    EXPECT_EQ(staging->fileTypeCode, kFileTypeNone);
}

// ---- scratch data files ---------------------------------------------------------------------

TEST_F(DocTest, ScratchDataFilesGoWithTheRecordingsThatReadThem) {
    const std::string userFile = PathIn("take.bin");
    WriteAll(userFile, "the user's recording");
    auto doc = std::make_unique<COrielDoc>(app, prompts);
    enum class Mode { Scratch, ScratchThenRefuse, ScratchThenThrow, UsersOwnFile } mode = Mode::Scratch;
    doc->Formats().SetReader(ReaderSlot::ReadUsb2FloatFile, [&mode](COrielDoc& d, platform::File& f, LoadTarget& t) {
        RecordingData& r = t.Recording();
        r.channelCount = 1;
        r.channels[0].rate = 8000.0;
        r.channels[0].sampleCount = 2.0;
        r.channels[0].duration = 0.25;
        if (mode == Mode::UsersOwnFile) {
            // A data file that is the user's own file, as a recording may have.
            r.dataFile = std::make_shared<platform::File>(f.GetFilePath(), platform::File::Mode::Read);
            r.dataFilePath = f.GetFilePath();
            return 1;
        }
        ScratchDataFile scratch(d);
        const float frames[2] = {0.5f, -0.5f};
        scratch.File().Write(frames, sizeof frames);
        scratch.AdoptInto(r, 1);
        if (mode == Mode::ScratchThenRefuse)
            return -1;
        if (mode == Mode::ScratchThenThrow)
            throw platform::FileException(platform::FileException::Cause::Generic, "", "read error");
        return 1;
    });
    auto scratchFiles = [this] {
        std::vector<std::string> found;
        for (const std::string& name : FilesIn(dir))
            if (name.rfind("$$TempFile", 0) == 0)
                found.push_back(PathIn(name));
        return found;
    };

    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    const std::string first = doc->GetDataFilePath();
    EXPECT_EQ(scratchFiles(), std::vector<std::string>{first});

    // Another recording: only its own scratch file is left.
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    const std::string second = doc->GetDataFilePath();
    EXPECT_NE(second, first);
    EXPECT_EQ(scratchFiles(), std::vector<std::string>{second});

    // Failed loads leave none of theirs.
    for (Mode failing : {Mode::ScratchThenRefuse, Mode::ScratchThenThrow}) {
        mode = failing;
        EXPECT_FALSE(doc->OnOpenDocument(userFile));
        EXPECT_EQ(scratchFiles(), std::vector<std::string>{second});
    }

    // A channel copied out keeps the file readable until it goes.
    std::optional<CChannels> copied(doc->Channel(0));
    mode = Mode::UsersOwnFile;
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    EXPECT_EQ(scratchFiles(), std::vector<std::string>{second});
    float v = 0;
    ASSERT_TRUE(copied->ReadSample(1, v));
    EXPECT_EQ(v, -0.5f);
    copied.reset();
    EXPECT_TRUE(scratchFiles().empty());

    // The user's own file is closed, never removed.
    mode = Mode::Scratch;
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    EXPECT_EQ(scratchFiles().size(), 1u);
    mode = Mode::UsersOwnFile;
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    doc.reset();
    EXPECT_TRUE(scratchFiles().empty());
    EXPECT_EQ(ReadAll(userFile), "the user's recording");

    // Closing the document removes its scratch file.
    doc = std::make_unique<COrielDoc>(app, prompts);
    doc->Formats().SetReader(ReaderSlot::ReadUsb2FloatFile, [](COrielDoc& d, platform::File&, LoadTarget& t) {
        ScratchDataFile scratch(d);
        scratch.AdoptInto(t.Recording(), 1);
        return 1;
    });
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    EXPECT_EQ(scratchFiles().size(), 1u);
    doc.reset();
    EXPECT_TRUE(scratchFiles().empty());
    EXPECT_EQ(ReadAll(userFile), "the user's recording");
}

TEST_F(DocTest, ScratchCopyStartsOnceTheSummariesAreMade) {
    // Frames of two columns behind a header, enough for several summary
    // pieces read by several threads.
    constexpr std::size_t kFrames = 300000, kColumns = 2, kHeader = 100;
    std::vector<float> frames(kFrames * kColumns);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<float>(i % 977) * (i % 2 ? -0.001f : 0.001f);
    const std::string sourcePath = PathIn("frames.bin");
    {
        platform::File out(sourcePath, platform::File::Mode::Create);
        const std::vector<char> header(kHeader, 'h');
        out.Write(header.data(), header.size());
        out.Write(frames.data(), frames.size() * sizeof(float));
    }
    platform::File source(sourcePath, platform::File::Mode::Read);
    COrielDoc doc(app, prompts);
    ScratchDataFile scratch(doc);

    // The pass asks after an abort while it runs: the copy, which sets the
    // file's length when it starts, must not have started yet.
    struct Watching final : platform::Progress {
        ScratchDataFile* scratch = nullptr;
        int asked = 0;
        std::int64_t longest = 0;
        void SetText(const std::string&) override {}
        void SetFraction(double) override {}
        bool AbortRequested() override {
            ++asked;
            longest = std::max(longest, scratch->File().GetLength());
            return false;
        }
    } watching;
    watching.scratch = &scratch;
    ThrottledProgress shown(&watching);
    LoadSummaries summaries(kColumns, static_cast<std::int64_t>(kFrames));
    ASSERT_EQ(scratch.CopyFrames(source, kHeader, kFrames, kColumns, shown, summaries),
              ScratchDataFile::CopyResult::Copied);
    EXPECT_GT(watching.asked, 0);
    EXPECT_EQ(watching.longest, 0) << "the copy ran beside the summaries' pass";

    const std::vector<std::shared_ptr<const SampleSummary>> made = summaries.Finish();
    ASSERT_EQ(made.size(), kColumns);
    for (std::size_t c = 0; c < kColumns; ++c) {
        std::vector<float> column(kFrames);
        for (std::size_t f = 0; f < kFrames; ++f)
            column[f] = frames[f * kColumns + c];
        const SampleSummary want = SampleSummary::FromSamples(column);
        EXPECT_EQ(made[c]->GetLevel(0).min, want.GetLevel(0).min) << c;
        EXPECT_EQ(made[c]->GetLevel(0).max, want.GetLevel(0).max) << c;
    }
    ASSERT_TRUE(scratch.File().WaitForBackgroundFill());
    std::vector<float> copied(frames.size());
    ASSERT_EQ(scratch.File().ReadAt(0, copied.data(), copied.size() * sizeof(float)), copied.size() * sizeof(float));
    EXPECT_EQ(copied, frames);
}

// ---- Save As ------------------------------------------------------------------------------

struct SaveAsCase {
    const char* name;
    int documentCode;
    const char* chosenName;
    int pickedFilter;  // the filter the chooser says was picked (0: it cannot say)
    const char* writtenName;
    int writtenCode;
    bool adoptsPath;
    int codeAfter;
    int filterIndexAfter;
};

void PrintTo(const SaveAsCase& c, std::ostream* os) { *os << c.name; }

class SaveAsTable : public DocTest, public ::testing::WithParamInterface<SaveAsCase> {};

TEST_P(SaveAsTable, ChosenFilterDecidesWrittenTypeAndTheDocumentsFile) {
    const SaveAsCase& c = GetParam();
    const std::string own = PathIn("own.orig");
    WriteAll(own, "original");
    auto doc = MakeDocument(c.documentCode, own);
    doc->saveFilterIndex = 2;
    AddFakeWriters(*doc);
    prompts.paths.push_back(PathIn(c.chosenName));
    prompts.saveFilters.push_back(c.pickedFilter);

    doc->OnFileSaveAs();

    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    const platform::FileDialogRequest& r = prompts.saveRequests[0];
    EXPECT_EQ(r.title, "Save file As");
    EXPECT_EQ(r.filter, kNativeAndWaveFilter);
    EXPECT_EQ(r.initialPath, PathIn("own"));  // its own name; the filter adds the extension
    EXPECT_EQ(r.defaultSuffix, "vcm");
    EXPECT_EQ(r.filterIndex, 2);

    const std::string written_ = PathIn(c.writtenName);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].code, c.writtenCode);
    EXPECT_FALSE(written[0].request.selectionOnly);
    EXPECT_EQ(ReadAll(written_), "code " + std::to_string(c.writtenCode));
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"VocometConf.cfg", c.writtenName, "own.orig"}));
    EXPECT_EQ(ReadAll(own), "original");
    EXPECT_EQ(doc->GetPathName(), c.adoptsPath ? written_ : own);
    EXPECT_EQ(doc->IsModified(), !c.adoptsPath);
    EXPECT_EQ(doc->GetFileTypeCode(), c.codeAfter);
    EXPECT_EQ(doc->saveFilterIndex, c.filterIndexAfter);
    if (c.adoptsPath) {
        EXPECT_EQ(doc->GetSaveAsRequired(), 0);
        EXPECT_EQ(doc->neverSaved, 0);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Save, SaveAsTable,
    ::testing::Values(
        SaveAsCase{"NativeAsNative", 1, "out.vcm", 1, "out.vcm", 1, true, 1, 1},
        SaveAsCase{"NativeAsWaveKeepsItsFile", 1, "out.wav", 2, "out.wav", 2, false, 1, 2},
        SaveAsCase{"ChannelWiseStaysChannelWise", 4, "out.VCM", 1, "out.VCM", 4, true, 4, 1},
        SaveAsCase{"Usb2StaysUsb2", 11, "out.vcm", 1, "out.vcm", 11, true, 11, 1},
        SaveAsCase{"WaveAsNativeKeepsItsFile", 2, "out.Vcm", 1, "out.Vcm", 1, false, 2, 1},
        SaveAsCase{"WaveAsWave", 2, "out.WAV", 2, "out.WAV", 2, true, 2, 2},
        SaveAsCase{"AiffTakesTheNativeFile", 3, "out.vcm", 1, "out.vcm", 1, true, 1, 1},
        SaveAsCase{"MacTakesTheWaveFile", 9, "out.wav", 2, "out.wav", 2, true, 2, 2},
        // A typed .vcm or .wav decides the format, whatever filter is picked.
        SaveAsCase{"TypedWaveNameUnderTheNativeFilterIsWave", 1, "out.wav", 1, "out.wav", 2, false, 1, 2},
        SaveAsCase{"TypedNativeNameUnderTheWaveFilterIsNative", 1, "out.vcm", 2, "out.vcm", 1, true, 1, 1},
        SaveAsCase{"TypedExtensionInAnyCase", 2, "out.Wav", 1, "out.Wav", 2, true, 2, 2},
        // Any other name: the filter picked decides, and a bare name gets its extension.
        SaveAsCase{"BareNameGetsTheWaveExtension", 1, "out", 2, "out.wav", 2, false, 1, 2},
        SaveAsCase{"BareNameGetsTheNativeExtension", 2, "out", 1, "out.vcm", 1, false, 2, 1},
        SaveAsCase{"TrailingDotGetsTheExtension", 1, "out.", 2, "out.wav", 2, false, 1, 2},
        SaveAsCase{"WaveFilterWinsOverAnotherExtension", 1, "out.dat", 2, "out.dat", 2, false, 1, 2},
        SaveAsCase{"NativeFilterWinsOverAnotherExtension", 2, "out.aiff", 1, "out.aiff", 1, false, 2, 1},
        // A chooser that cannot say: the extension tells, else the filter it opened with.
        SaveAsCase{"UnknownFilterGoesByTheExtension", 2, "out.vcm", 0, "out.vcm", 1, false, 2, 1},
        SaveAsCase{"UnknownFilterKeepsTheOpeningFilter", 1, "out", 0, "out.wav", 2, false, 1, 2}),
    [](const ::testing::TestParamInfo<SaveAsCase>& info) { return std::string(info.param.name); });

// The real writers: a name typed with .wav under the native filter (the
// one Save As opens with) must be a WAV file another program reads.
TEST_F(DocTest, ATypedWaveNameUnderTheNativeFilterWritesAWaveFileThatReadsBack) {
    auto doc = MakeDocument(1, PathIn("take.vcm"));
    CChannels& ch = doc->Channel(0);
    ch.samples = platform::FloatBlock::Allocate(40);
    for (std::size_t k = 0; k < 40; ++k)
        ch.samples[k] = static_cast<float>(k) / 64.0f - 0.25f;
    ch.sampleCount = 40;
    ch.rate = 8000.0;
    ch.duration = 5.0;
    doc->saveFilterIndex = kNativeFilter;
    prompts.paths.push_back(PathIn("x.wav"));
    prompts.saveFilters.push_back(kNativeFilter);

    doc->OnFileSaveAs();

    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].initialPath, PathIn("take"));
    EXPECT_EQ(prompts.saveRequests[0].filterIndex, kNativeFilter);
    const std::string bytes = ReadAll(PathIn("x.wav"));
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
    // A native document written as WAV keeps its own file and stays modified.
    EXPECT_EQ(doc->GetPathName(), PathIn("take.vcm"));
    EXPECT_TRUE(doc->IsModified());

    COrielDoc back(app, prompts);
    ASSERT_TRUE(back.OnOpenDocument(PathIn("x.wav")));
    EXPECT_EQ(back.GetFileTypeCode(), kFileTypeWave);
    ASSERT_EQ(back.Channel(0).sampleCount, 40.0);
    for (std::size_t k = 0; k < 40; ++k)
        EXPECT_EQ(back.Channel(0).samples[k], ch.samples[k]) << k;
    if (test::HaveTool("sox")) {
        EXPECT_EQ(test::RunCommand("sox '" + PathIn("x.wav") + "' -n stat 2>/dev/null"), 0);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DocTest, SaveAsOffersTheDocumentsOwnName) {
    const struct {
        const char* own;  // empty: never saved
        const char* title;
        std::string offered;
    } cases[] = {
        {"take.vcm", "", PathIn("take")},
        {"vowels.aiff", "", PathIn("vowels")},  // not offered under a format it will not be
        {"", "Recording 3.vcm", "Recording 3"},
        {"", "", "Untitled"},
    };
    for (const auto& c : cases) {
        prompts = test::ScriptedPrompts();
        auto doc = MakeDocument(1, *c.own ? PathIn(c.own) : std::string());
        doc->SetTitle(c.title);
        doc->OnFileSaveAs();  // cancelled
        ASSERT_EQ(prompts.saveRequests.size(), 1u);
        EXPECT_EQ(prompts.saveRequests[0].initialPath, c.offered) << c.own << c.title;
    }
}

TEST_F(DocTest, AFailedSaveAsKeepsTheTargetAndTheDocument) {
    const std::string own = PathIn("own.vcm");
    const std::string target = PathIn("target.vcm");
    WriteAll(target, "the user's file");
    auto doc = MakeDocument(1, own);
    doc->Formats().SetWriter(1, [](COrielDoc&, platform::File& f, const WriteRequest&) {
        f.Write("half", 4);
        throw platform::FileException::FromErrno(ENOSPC, f.GetFilePath(), "Cannot write");
    });
    prompts.paths.push_back(target);
    prompts.saveFilters.push_back(1);
    doc->OnFileSaveAs();
    EXPECT_EQ(ReadAll(target), "the user's file");
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"VocometConf.cfg", "target.vcm"}));
    EXPECT_EQ(prompts.beeps, 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.LastMessage().rfind(kSaveOperationError, 0), 0u);
    EXPECT_NE(prompts.LastMessage().find(std::strerror(ENOSPC)), std::string::npos) << prompts.LastMessage();
    EXPECT_EQ(doc->GetPathName(), own);
    EXPECT_TRUE(doc->IsModified());
}

// ---- Save ------------------------------------------------------------------------------------

TEST_F(DocTest, SaveWritesInPlaceOnlyWhenTheDocumentsOwnFileCanBeWritten) {
    struct Case {
        const char* name;
        int code;
        bool ownPath;
        bool waveWriter;
        bool expectDialog;
    };
    for (const Case& c : {Case{"native", 1, true, true, false}, Case{"channel-wise", 4, true, true, false},
                          Case{"aiff", 3, true, true, true}, Case{"no path", 1, false, true, true},
                          Case{"wave without writer", 2, true, false, true}, Case{"wave", 2, true, true, false}}) {
        SCOPED_TRACE(c.name);
        prompts = test::ScriptedPrompts();
        written.clear();
        const std::string own = PathIn("doc.vcm");
        WriteAll(own, "before");
        auto doc = MakeDocument(c.code, c.ownPath ? own : "");
        AddFakeWriters(*doc);
        if (!c.waveWriter)
            doc->Formats().SetWriter(2, nullptr);
        doc->OnFileSave();  // the dialog (if any) is cancelled
        EXPECT_EQ(prompts.saveRequests.size(), c.expectDialog ? 1u : 0u);
        if (!c.expectDialog) {
            EXPECT_EQ(ReadAll(own), "code " + std::to_string(c.code));
            EXPECT_FALSE(doc->IsModified());
        } else {
            EXPECT_EQ(ReadAll(own), "before");
            EXPECT_TRUE(doc->IsModified());
        }
    }
}

TEST_F(DocTest, OnSaveDocumentNeverLeavesAnEmptyOrHalfFileAndNeverClaimsAnUnwrittenSave) {
    const std::string own = PathIn("doc.vcm");
    struct Case {
        const char* name;
        int code;
        DocumentWriter writer;
        bool reported;
    };
    const std::vector<Case> cases{
        {"no writer for the code", 9, nullptr, true},
        {"writer writes nothing", 1, [](COrielDoc&, platform::File&, const WriteRequest&) {}, true},
        {"writer fails", 1,
         [](COrielDoc&, platform::File& f, const WriteRequest&) {
             f.Write("xx", 2);
             throw platform::FileException(platform::FileException::Cause::DiskFull, "", "disk full");
         },
         true},
        {"writer abandons after its own message", 1,
         [](COrielDoc&, platform::File&, const WriteRequest&) { throw platform::UserException(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts = test::ScriptedPrompts();
        for (bool exists : {true, false}) {
            if (exists)
                WriteAll(own, "the user's data");
            else
                platform::RemoveFile(own);
            auto doc = MakeDocument(c.code, own);
            doc->Formats().SetWriter(c.code, c.writer);
            EXPECT_FALSE(doc->OnSaveDocument(own));
            EXPECT_TRUE(doc->IsModified());
            if (exists) {
                EXPECT_EQ(ReadAll(own), "the user's data");
            } else {
                EXPECT_FALSE(platform::PathExists(own));
            }
            EXPECT_EQ(FilesIn(dir).size(), exists ? 2u : 1u) << "no scratch file left";
        }
        EXPECT_EQ(prompts.messages.size(), c.reported ? 2u : 0u);
        if (c.reported) {
            EXPECT_EQ(prompts.messages[0].text.rfind(kFailedToSaveDocument, 0), 0u);
        }
    }
}

TEST_F(DocTest, SaveModifiedKeepsTheDocumentOpenUnlessItIsSafeToClose) {
    struct Case {
        const char* name;
        bool modified;
        Answer answer;
        bool writerWorks;
        bool mayClose;
    };
    for (const Case& c : {Case{"unmodified", false, Answer::Yes, true, true}, Case{"cancel", true, Answer::Cancel, true, false},
                          Case{"no", true, Answer::No, true, true}, Case{"yes saves", true, Answer::Yes, true, true},
                          Case{"yes but the save fails", true, Answer::Yes, false, false}}) {
        SCOPED_TRACE(c.name);
        prompts = test::ScriptedPrompts();
        prompts.answers.push_back(c.answer);
        auto doc = MakeDocument(1, PathIn("doc.vcm"));
        AddFakeWriters(*doc);
        if (!c.writerWorks)
            doc->Formats().SetWriter(1, [](COrielDoc&, platform::File&, const WriteRequest&) {
                throw platform::UserException();
            });
        doc->SetModifiedFlag(c.modified);
        EXPECT_EQ(doc->SaveModified(), c.mayClose);
        if (c.modified) {
            EXPECT_EQ(prompts.messages.at(0).text, "Save Changes to ' doc.vcm ' before closing ?");
        } else {
            EXPECT_TRUE(prompts.messages.empty());
        }
    }
}

// ---- copies and exports -------------------------------------------------------------------------

TEST_F(DocTest, CopiesLeaveTheDocumentAlone) {
    for (bool selection : {false, true}) {
        SCOPED_TRACE(selection ? "selection" : "copy");
        prompts = test::ScriptedPrompts();
        written.clear();
        const std::string own = PathIn("My.take.vcm");
        auto doc = MakeDocument(4, own);
        AddFakeWriters(*doc);
        // The selection goes out as WAV under a bare name.
        prompts.paths.push_back(PathIn(selection ? "sel" : "copy.vcm"));
        prompts.saveFilters.push_back(selection ? 2 : 1);
        selection ? doc->OnFileSaveSelectionAs() : doc->OnFileSaveCopyAs();

        ASSERT_EQ(prompts.saveRequests.size(), 1u);
        EXPECT_EQ(prompts.saveRequests[0].title, selection ? "Save Selection As" : "Save a Copy As");
        EXPECT_EQ(prompts.saveRequests[0].initialPath, selection ? "Sel_My.take" : "Copy_My.take");
        EXPECT_EQ(prompts.saveRequests[0].filter, selection ? "Vocomet files (*.vcm)|*.VCM|Wave files (*.wav)|*.wav|"
                                                            : "Vocomet files (*.vcm)|*.vcm|Wave files (*.wav)|*.wav|");
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(ReadAll(PathIn(selection ? "sel.wav" : "copy.vcm")), selection ? "code 2" : "code 4");
        EXPECT_EQ(written[0].code, selection ? 2 : 4);
        EXPECT_EQ(written[0].request.selectionOnly, selection);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), own);
        EXPECT_EQ(doc->GetFileTypeCode(), 4);
        EXPECT_EQ(doc->saveFilterIndex, selection ? 2 : 1);
    }
}

TEST_F(DocTest, AFailedCopyOnlyBeeps) {
    auto doc = MakeDocument(9, PathIn("mac.vcm"));
    doc->Formats().SetWriter(1, nullptr);  // the copy's code has no writer
    prompts.paths.push_back(PathIn("copy.vcm"));
    doc->OnFileSaveCopyAs();
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(platform::PathExists(PathIn("copy.vcm")));
}

TEST_F(DocTest, ExportsNameTheFileAfterTheStemAndTheChosenChannel) {
    struct Case {
        const char* name;
        int channels;
        bool selection;
        std::optional<int> chosen;
        const char* expectedName;
        bool asksChannel;
    };
    for (const Case& c : {Case{"one channel", 1, false, std::nullopt, "Export_take_Mic", false},
                          Case{"second of three", 3, true, 1, "Export_Sel_take_EGG", true},
                          Case{"channel dialog cancelled", 3, false, std::nullopt, "", true}}) {
        SCOPED_TRACE(c.name);
        prompts = test::ScriptedPrompts();
        written.clear();
        auto doc = MakeDocument(1, PathIn("take.vcm"), c.channels);
        doc->Channel(0).name = "Mic";
        doc->Channel(1).name = "EGG";
        doc->Channel(2).name = "Flow";
        AddFakeWriters(*doc);
        std::vector<std::string> offered;
        int asked = 0;
        doc->Hooks().chooseChannel = [&](const std::vector<std::string>& names, int preselected) {
            ++asked;
            offered = names;
            EXPECT_EQ(preselected, 0);
            return c.chosen;
        };
        const std::string chosen = PathIn("export.wav");
        prompts.paths.push_back(chosen);
        c.selection ? doc->OnFileExportSelectionChannelAsWave() : doc->OnFileExportChannelAsWave();

        EXPECT_EQ(asked, c.asksChannel ? 1 : 0);
        if (c.asksChannel) {
            EXPECT_EQ(offered, (std::vector<std::string>{"Mic", "EGG", "Flow"}));
        }
        if (std::string(c.expectedName).empty()) {
            EXPECT_TRUE(prompts.saveRequests.empty());
            EXPECT_TRUE(written.empty());
            continue;
        }
        ASSERT_EQ(prompts.saveRequests.size(), 1u);
        EXPECT_EQ(prompts.saveRequests[0].initialPath, c.expectedName);
        EXPECT_EQ(prompts.saveRequests[0].filter, kWaveFilter);
        EXPECT_EQ(prompts.saveRequests[0].defaultSuffix, "wav");
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0].code, 2);
        EXPECT_EQ(written[0].request.selectionOnly, c.selection);
        EXPECT_EQ(written[0].request.channelIndex, c.chosen.value_or(0));
        EXPECT_EQ(written[0].request.channelCount, c.channels);
        EXPECT_TRUE(written[0].request.oneChannel);
        EXPECT_EQ(ReadAll(chosen), "code 2");
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), PathIn("take.vcm"));
    }
}

// A folder no file can be created in: a read-only one, or, where the tests
// run with rights that ignore that, a system folder that refuses new files.
std::optional<std::string> UncreatableFolder(const std::string& dir) {
    const std::string ro = dir + "/read-only";
    fs::create_directories(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    for (const std::string& folder : {ro, std::string("/sys")}) {
        const std::string probe = folder + "/probe";
        if (std::FILE* f = std::fopen(probe.c_str(), "wb")) {
            std::fclose(f);
            platform::RemoveFile(probe);
            continue;
        }
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            return folder;
    }
    return std::nullopt;
}

TEST_F(DocTest, SavesThatTheFileSystemRefusesSayWhy) {
    enum class Command { Save, SaveAs, SaveCopyAs, Export };
    enum class Kind { ReadOnlyFolder, MissingFolder, WriteError };
    const std::optional<std::string> readOnly = UncreatableFolder(dir);
    for (Kind kind : {Kind::ReadOnlyFolder, Kind::MissingFolder, Kind::WriteError}) {
        if (kind == Kind::ReadOnlyFolder && !readOnly)
            continue;  // no folder here refuses new files
        for (Command command : {Command::Save, Command::SaveAs, Command::SaveCopyAs, Command::Export}) {
            SCOPED_TRACE(static_cast<int>(kind) * 10 + static_cast<int>(command));
            prompts = test::ScriptedPrompts();
            const std::string folder = kind == Kind::ReadOnlyFolder  ? *readOnly
                                       : kind == Kind::MissingFolder ? dir + "/no/such/folder"
                                                                     : dir;
            const std::string target = folder + (command == Command::Export ? "/x.wav" : "/x.vcm");
            auto doc = MakeDocument(1, command == Command::Save ? target : PathIn("own.vcm"));
            AddFakeWriters(*doc);
            if (kind == Kind::WriteError)
                for (int code : {1, 2})
                    doc->Formats().SetWriter(code, [](COrielDoc&, platform::File& f, const WriteRequest&) {
                        throw platform::FileException::FromErrno(ENOSPC, f.GetFilePath(), "Cannot write");
                    });
            prompts.paths.push_back(target);
            switch (command) {
            case Command::Save: doc->OnFileSave(); break;
            case Command::SaveAs: doc->OnFileSaveAs(); break;
            case Command::SaveCopyAs: doc->OnFileSaveCopyAs(); break;
            case Command::Export: doc->OnFileExportChannelAsWave(); break;
            }

            const char* prompt = command == Command::SaveAs        ? kSaveOperationError
                                 : kind == Kind::MissingFolder ? kInvalidFileName
                                                               : kFailedToSaveDocument;
            const int reason = kind == Kind::ReadOnlyFolder ? EACCES : kind == Kind::MissingFolder ? ENOENT : ENOSPC;
            ASSERT_EQ(prompts.messages.size(), 1u);
            const std::string& text = prompts.messages[0].text;
            EXPECT_EQ(text.rfind(prompt, 0), 0u) << text;
            EXPECT_NE(text.find(std::strerror(reason)), std::string::npos) << text;
            const bool beeps = command == Command::SaveAs || command == Command::SaveCopyAs ||
                               (command == Command::Export && kind != Kind::WriteError);
            EXPECT_EQ(prompts.beeps, beeps ? 1 : 0);
            EXPECT_TRUE(doc->IsModified());
            EXPECT_FALSE(platform::PathExists(target));
        }
    }
    if (!readOnly)
        GTEST_SKIP() << "no folder here refuses new files; the other failures were checked";
}

}  // namespace
}  // namespace vocomet
