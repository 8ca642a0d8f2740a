#include "core/DocumentEdits.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "app/EditSession.h"
#include "core/ScratchDataFile.h"
#include "core/WaveFile.h"
#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;

LABEL Label(double time, const char* text) {
    LABEL l;
    std::strncpy(l.text.data(), text, LABEL::kMaxTextLength);
    l.time = time;
    return l;
}

// A recording of n channels of count samples at 1000 Hz (1 ms a sample),
// each channel its own ramp, with labels, in memory; or, with fileBacked,
// its frames in a scratch data file.
void Fill(COrielDoc& doc, int n, int count, bool fileBacked, int code = kFileTypeNativeFloat24) {
    auto rec = doc.NewStagingRecording();
    rec->channelCount = n;
    rec->fileTypeCode = code;
    for (int c = 0; c < n; ++c) {
        CChannels& ch = rec->channels[static_cast<std::size_t>(c)];
        ch.rate = 1000.0;
        ch.sampleCount = count;
        ch.duration = count;
        ch.name = "ch" + std::to_string(c);
        ch.unit = "mV";
        ch.calC = 2.0 + c;
        ch.samples = platform::FloatBlock::Allocate(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k)
            ch.samples[static_cast<std::size_t>(k)] = static_cast<float>(c * 10000 + k);
        ch.shownEnd = count;
        ch.shownLength = count;
        ch.AppendLabel(Label(5.0, "a"));
        ch.AppendLabel(Label(20.0, "in"));
        ch.AppendLabel(Label(60.0, "late"));
    }
    if (fileBacked) {
        ScratchDataFile scratch(doc);
        std::vector<float> frames(static_cast<std::size_t>(n * count));
        for (int k = 0; k < count; ++k)
            for (int c = 0; c < n; ++c)
                frames[static_cast<std::size_t>(k * n + c)] = rec->channels[static_cast<std::size_t>(c)].samples[k];
        scratch.File().WriteAt(0, frames.data(), frames.size() * 4);
        scratch.AdoptInto(*rec, static_cast<std::size_t>(n));
    }
    doc.AdoptRecording(std::move(rec));
    doc.dataLoaded = 1;
}

void Select(COrielDoc& doc, double from, double to) {
    for (int c = 0; c < doc.GetChannelCount(); ++c) {
        CChannels& ch = doc.Channel(c);
        ch.selStartSample = from;
        ch.selEndSample = to;
        ch.selStartTime = from;  // 1 ms a sample
        ch.selEndTime = to;
        ch.selLengthSamples = to - from;
        ch.selLengthTime = to - from;
    }
}

std::vector<float> Samples(const CChannels& ch) {
    std::vector<float> v;
    float x = 0;
    for (std::int64_t k = 0; k < ch.ReadableCount(); ++k) {
        EXPECT_TRUE(ch.ReadSample(k, x));
        v.push_back(x);
    }
    return v;
}

std::vector<std::pair<double, std::string>> Labels(const CChannels& ch) {
    std::vector<std::pair<double, std::string>> v;
    for (const LABEL& l : ch.labels)
        v.emplace_back(l.time, l.text.data());
    return v;
}

void ExpectSame(const COrielDoc& a, const COrielDoc& b) {
    ASSERT_EQ(a.GetChannelCount(), b.GetChannelCount());
    EXPECT_EQ(a.dataLoaded, b.dataLoaded);
    for (int c = 0; c < a.GetChannelCount(); ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(a.Channel(c).sampleCount, b.Channel(c).sampleCount);
        EXPECT_DOUBLE_EQ(a.Channel(c).duration, b.Channel(c).duration);
        EXPECT_EQ(Samples(a.Channel(c)), Samples(b.Channel(c)));
        EXPECT_EQ(Labels(a.Channel(c)), Labels(b.Channel(c)));
    }
}

class DocumentEditsTest : public test::DocumentTest {
protected:
    void SetUp() override {
        test::DocumentTest::SetUp();
        other = std::make_unique<COrielDoc>(app, prompts);
    }
    std::unique_ptr<COrielDoc> other;
    EditClipboard clip;
};

// The same edits on an in-memory and a file-backed copy of one recording.
TEST_F(DocumentEditsTest, InMemoryAndFileBackedEditsAgree) {
    Fill(*doc, 3, 100, false);
    Fill(*other, 3, 100, true);
    ASSERT_TRUE(IsDocumentInMemory(*doc));
    ASSERT_FALSE(IsDocumentInMemory(*other));
    const std::string oldData = other->GetDataFilePath();

    // Cut [10.7, 30.2): frames 10..29.
    Select(*doc, 10.7, 30.2);
    Select(*other, 10.7, 30.2);
    EditClipboard fileClip;
    CopySelection(*doc, clip);
    CopySelection(*other, fileClip);
    EXPECT_FALSE(clip.InFile());
    ASSERT_TRUE(fileClip.InFile());
    EXPECT_EQ(fs::file_size(fileClip.filePath), 20u * 3 * 4);
    EXPECT_TRUE(fileClip.channels[0].samples.IsNull());
    EXPECT_EQ(Labels(clip.channels[1]), (std::vector<std::pair<double, std::string>>{{20.0 - 10.7, "in"}}));
    CutSelectionData(*doc);
    CutSelectionData(*other);
    EXPECT_EQ(doc->Channel(0).sampleCount, 80);
    EXPECT_EQ(Samples(doc->Channel(2))[10], 20030.0f);
    ExpectSame(*doc, *other);
    EXPECT_NE(other->GetDataFilePath(), oldData);
    EXPECT_FALSE(fs::exists(oldData)) << "the old scratch data file goes once nothing reads it";

    // Paste at the marker (frame 50), each clipboard into each kind.
    Select(*doc, 50, 50);
    Select(*other, 50, 50);
    PasteClipboard(*doc, fileClip, false);
    PasteClipboard(*other, clip, false);
    EXPECT_EQ(doc->Channel(0).sampleCount, 100);
    ExpectSame(*doc, *other);
    EXPECT_EQ(Labels(doc->Channel(0)),
              (std::vector<std::pair<double, std::string>>{{5, "a"}, {60.0 - 20, "late"}, {50 + 9.3, "in"}}));

    // Paste replacing a selection.
    Select(*doc, 0, 40);
    Select(*other, 0, 40);
    PasteClipboard(*doc, clip, true);
    PasteClipboard(*other, fileClip, true);
    EXPECT_EQ(doc->Channel(0).sampleCount, 80);
    ExpectSame(*doc, *other);
}

TEST_F(DocumentEditsTest, LabelsSplicedFromTheSelectionStart) {
    struct Case {
        const char* what;
        bool remove;
        double from, to, at, shift;
        std::vector<std::pair<double, std::string>> expected;
    } cases[] = {
        {"insert moves later labels", false, 0, 0, 10, 7, {{5, "a"}, {27, "in"}, {67, "late"}, {11, "clip"}}},
        {"label at the insertion point stays", false, 0, 0, 5, 7, {{5, "a"}, {27, "in"}, {67, "late"}, {6, "clip"}}},
        {"replace removes inside, both ends", true, 5, 20, 5, -10, {{50, "late"}, {6, "clip"}}},
        {"cut before every label", true, 0, 1, 0, -1, {{4, "a"}, {19, "in"}, {59, "late"}, {1, "clip"}}},
        {"cut after every label", true, 70, 90, 70, -20, {{5, "a"}, {20, "in"}, {60, "late"}, {71, "clip"}}},
    };
    RecordList<LABEL> inserted;
    inserted.Add(Label(1.0, "clip"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CChannels ch;
        ch.AppendLabel(Label(5.0, "a"));
        ch.AppendLabel(Label(20.0, "in"));
        ch.AppendLabel(Label(60.0, "late"));
        SpliceLabels(ch, c.remove, c.from, c.to, c.at, c.shift, inserted);
        EXPECT_EQ(Labels(ch), c.expected);
        EXPECT_EQ(ch.labelCount, ch.labels.GetSize());
    }
}

TEST_F(DocumentEditsTest, SelectAllCutEmptiesAndPasteRefills) {
    Fill(*doc, 2, 50, true);
    SelectAllSamples(*doc);
    CopySelection(*doc, clip);
    CutSelectionData(*doc);
    EXPECT_EQ(doc->dataLoaded, 0);
    EXPECT_EQ(doc->Channel(0).sampleCount, 0);
    EXPECT_EQ(doc->Channel(1).sampleCount, 0) << "every channel is cut, not only the first";
    ASSERT_TRUE(PasteFillsEmptyDocument(*doc));
    PasteClipboard(*doc, clip, false);
    EXPECT_EQ(doc->dataLoaded, 1);
    EXPECT_EQ(doc->Channel(1).sampleCount, 50);
    EXPECT_TRUE(doc->Channel(1).samples.IsNull()) << "a file clipboard fills an empty document without blocks";
    EXPECT_EQ(Samples(doc->Channel(1))[49], 10049.0f);

    // Into a new document too, with the copied document's type.
    other->dataLoaded = 0;
    PasteClipboard(*other, clip, false);
    EXPECT_EQ(other->GetFileTypeCode(), kFileTypeNativeFloat24);
    ExpectSame(*doc, *other);
}

TEST_F(DocumentEditsTest, ClipboardFileRemovedWithTheClipboard) {
    Fill(*doc, 2, 50, true);
    Select(*doc, 1, 9);
    std::string path;
    {
        EditClipboard own;
        CopySelection(*doc, own);
        path = own.filePath;
        ASSERT_TRUE(fs::exists(path));
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(DocumentEditsTest, CopyWithoutDataFileFails) {
    Fill(*doc, 2, 50, true);
    Select(*doc, 1, 9);
    doc->GetRecording().dataFile->Close();
    EditSession session;
    EXPECT_FALSE(EditSession::Copy(*doc, clip, prompts));
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back().text, kCopyError);
    EXPECT_EQ(clip.full, 0);
    // Cut stops when Copy failed.
    EXPECT_FALSE(session.Cut(*doc, clip, prompts));
    EXPECT_EQ(doc->Channel(0).sampleCount, 50);
}

TEST_F(DocumentEditsTest, RefusedPasteMovesNothingAndKeepsTheUndoCopy) {
    Fill(*other, 2, 50, false);
    Select(*other, 0, 10);
    CopySelection(*other, clip);
    struct Case {
        const char* what;
        int channels;
        double rate;
        const char* message;
    } cases[] = {
        {"channel count", 3, 1000.0, kPasteChannelCountMessage},
        {"sample rate", 2, 1000.5, kPasteRateMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto target = std::make_unique<COrielDoc>(app, prompts);
        Fill(*target, c.channels, 40, false);
        target->Channel(1).rate = c.rate;
        EditSession session;
        ASSERT_TRUE(session.SaveUndoFile(*target, prompts));
        const std::string before = test::ReadAll(session.UndoPath());
        Select(*target, 5, 5);
        prompts.messages.clear();
        EXPECT_FALSE(session.Paste(*target, clip, false, prompts));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].text, c.message);
        EXPECT_EQ(target->Channel(0).sampleCount, 40);
        EXPECT_TRUE(session.UndoAvailable());
        EXPECT_EQ(test::ReadAll(session.UndoPath()), before);
    }
}

TEST_F(DocumentEditsTest, UndoRestoresWhateverTheFileType) {
    struct Case {
        const char* what;
        int code;
        bool fileBacked;
    } cases[] = {
        {"native", kFileTypeNativeFloat24, false},
        {"wav", 2, false},
        {"nist sphere", 10, false},
        {"file-backed native", kFileTypeNativeFloat24, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = std::make_unique<COrielDoc>(app, prompts);
        auto original = std::make_unique<COrielDoc>(app, prompts);
        Fill(*d, 3, 100, c.fileBacked, c.code);
        Fill(*original, 3, 100, false, c.code);
        d->SetSaveAsRequired(c.code == 10);
        d->Channel(2).show = 0;
        EditSession session;
        ASSERT_TRUE(session.SaveUndoFile(*d, prompts));
        Select(*d, 10, 30);
        d->Channel(1).velocityValid = 1;
        CutSelectionData(*d);
        d->SetModifiedFlag(true);
        const std::string cutData = d->GetDataFilePath();
        ASSERT_TRUE(session.RestoreUndoFile(*d, prompts));
        EXPECT_FALSE(session.UndoAvailable());
        EXPECT_TRUE(d->IsModified()) << "an undo is not what the document's file holds";
        ExpectSame(*d, *original);
        EXPECT_EQ(d->GetFileTypeCode(), c.code);
        EXPECT_EQ(d->GetSaveAsRequired(), c.code == 10);
        EXPECT_EQ(d->Channel(1).name, "ch1");
        EXPECT_EQ(d->Channel(1).unit, "mV");
        EXPECT_EQ(d->Channel(1).calC, 3.0);
        EXPECT_EQ(d->Channel(2).show, 0);
        EXPECT_EQ(d->Channel(1).velocityValid, 0);
        if (c.fileBacked) {
            EXPECT_FALSE(fs::exists(cutData)) << "the edited scratch file goes with the recording";
        }
    }
}

// A disk that fills while the undo copy is written (the file-size limit
// stands in for it: it fails the write the same way, and also for root):
// the user hears the system's reason, and nothing is left under the undo
// name or beside it; the copy works again once there is room.
TEST_F(DocumentEditsTest, AFailedUndoCopySaysWhyAndLeavesNoPartialFile) {
    Fill(*doc, 2, 5000, false);  // 40 KB of samples
    EditSession session;
    ASSERT_TRUE(session.SaveUndoFile(*doc, prompts));
    const std::string undoPath = session.UndoPath();

    struct rlimit was {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = was;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    prompts.messages.clear();
    prompts.answers = {platform::Answer::Ok, platform::Answer::No};
    const bool saved = session.SaveUndoOrAsk(*doc, prompts);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved) << "No: the edit does not go on";
    EXPECT_FALSE(session.UndoAvailable());
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text.rfind(kUndoSaveError, 0), 0u);
    EXPECT_NE(prompts.messages[0].text.find(std::strerror(EFBIG)), std::string::npos) << prompts.messages[0].text;
    EXPECT_EQ(prompts.messages[1].text, kUndoQuestion);
    platform::WaitForBackgroundCloses();
    for (const auto& entry : fs::directory_iterator(fs::path(undoPath).parent_path()))
        EXPECT_EQ(entry.path().filename().string().find(fs::path(undoPath).filename().string()), std::string::npos)
            << entry.path();
    EXPECT_FALSE(fs::exists(undoPath));

    ASSERT_TRUE(session.SaveUndoFile(*doc, prompts));
    EXPECT_TRUE(session.UndoAvailable());
}

// A recording long enough to be read back into a scratch data file (400 s at
// 1000 Hz): the undo gives back its frames and the min/max summaries they had
// (the same ones, when there were any, so the reader need not pass over the
// frames again), even when the next edit writes the undo copy anew while
// the restored data file is still being filled from it.
TEST_F(DocumentEditsTest, UndoOfALongFileBackedRecordingKeepsItsSummaries) {
    constexpr int kChannels = 3;
    constexpr int kCount = 400000;
    auto sameSummary = [](const SampleSummary& a, const SampleSummary& b) {
        bool same = a.SampleCount() == b.SampleCount();
        for (int level = 0; same && level < SampleSummary::LevelCount(); ++level)
            same = a.GetLevel(level).min == b.GetLevel(level).min && a.GetLevel(level).max == b.GetLevel(level).max;
        return same;
    };
    std::vector<std::vector<float>> samples(kChannels);
    std::string frames(static_cast<std::size_t>(kChannels) * kCount * 4, '\0');
    for (int c = 0; c < kChannels; ++c) {
        for (int k = 0; k < kCount; ++k)
            samples[static_cast<std::size_t>(c)].push_back(static_cast<float>(c * 10000 + k));
        for (int k = 0; k < kCount; ++k)
            std::memcpy(&frames[(static_cast<std::size_t>(k) * kChannels + c) * 4],
                        &samples[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)], 4);
    }
    for (const bool summarised : {true, false}) {
        SCOPED_TRACE(summarised ? "with summaries" : "without summaries");
        auto d = std::make_unique<COrielDoc>(app, prompts);
        Fill(*d, kChannels, kCount, true);
        std::vector<std::shared_ptr<const SampleSummary>> made;
        for (int c = 0; c < kChannels; ++c) {
            CChannels& ch = d->Channel(c);
            made.push_back(summarised ? std::make_shared<const SampleSummary>(
                                            SampleSummary::FromSamples(samples[static_cast<std::size_t>(c)]))
                                      : nullptr);
            ch.samplesSummary = made.back();
        }
        EditSession session;
        ASSERT_TRUE(session.SaveUndoFile(*d, prompts));
        Select(*d, 100, 200000);
        CutSelectionData(*d);
        ASSERT_TRUE(session.RestoreUndoFile(*d, prompts));
        ASSERT_TRUE(session.SaveUndoFile(*d, prompts));
        ASSERT_FALSE(IsDocumentInMemory(*d));
        ASSERT_TRUE(d->GetDataFile()->WaitForBackgroundFill());
        EXPECT_TRUE(test::ReadAll(d->GetDataFilePath()) == frames);
        for (int c = 0; c < kChannels; ++c) {
            SCOPED_TRACE(c);
            const CChannels& ch = d->Channel(c);
            EXPECT_EQ(ch.sampleCount, kCount);
            ASSERT_NE(ch.samplesSummary, nullptr);
            if (summarised) {
                EXPECT_EQ(ch.samplesSummary, made[static_cast<std::size_t>(c)]);
            }
            EXPECT_TRUE(sameSummary(*ch.samplesSummary,
                                    SampleSummary::FromSamples(samples[static_cast<std::size_t>(c)])));
        }
    }
}

TEST_F(DocumentEditsTest, UndoFilesOfSameTitledDocumentsDiffer) {
    Fill(*doc, 1, 10, false);
    Fill(*other, 1, 10, false);
    doc->SetTitle("take");
    other->SetTitle("take");
    std::string first;
    {
        EditSession a, b;
        ASSERT_TRUE(a.SaveUndoFile(*doc, prompts));
        ASSERT_TRUE(b.SaveUndoFile(*other, prompts));
        EXPECT_NE(a.UndoPath(), b.UndoPath());
        EXPECT_EQ(fs::path(a.UndoPath()).filename().string(), "take@@tmp");
        first = a.UndoPath();
    }
    EXPECT_FALSE(fs::exists(first)) << "the session removes its undo file";
}

// Against another program: sox's trim and concatenation of the same spans.
TEST_F(DocumentEditsTest, CutAndPasteMatchSox) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox not installed";
    const std::string wav = PathIn("stereo.wav"), clipWav = PathIn("clip.wav");
    ASSERT_EQ(test::RunCommand("sox -n -r 16000 -e floating-point -b 32 -c 2 '" + wav +
                               "' synth 2.0 sine 300 sine 440 gain -3"),
              0);
    ASSERT_EQ(test::RunCommand("sox -n -r 16000 -e floating-point -b 32 -c 2 '" + clipWav +
                               "' synth 0.25 square 200 sine 900 gain -6"),
              0);
    auto soxFloats = [&](const std::string& args) {
        const std::string out = PathIn("sox.f32");
        EXPECT_EQ(test::RunCommand("sox " + args + " -t f32 '" + out + "'"), 0);
        const std::string bytes = test::ReadAll(out);
        std::vector<float> v(bytes.size() / 4);
        std::memcpy(v.data(), bytes.data(), v.size() * 4);
        return v;
    };
    auto frames = [](const COrielDoc& d) {
        std::vector<float> v;
        const auto a = Samples(d.Channel(0)), b = Samples(d.Channel(1));
        for (std::size_t k = 0; k < a.size(); ++k) {
            v.push_back(a[k]);
            v.push_back(b[k]);
        }
        return v;
    };
    ASSERT_TRUE(doc->OnOpenDocument(wav));
    Select(*doc, 16000, 24000);
    CopySelection(*doc, clip);
    CutSelectionData(*doc);
    ASSERT_EQ(test::RunCommand("sox '" + wav + "' '" + PathIn("a.wav") + "' trim 0 1.0"), 0);
    ASSERT_EQ(test::RunCommand("sox '" + wav + "' '" + PathIn("b.wav") + "' trim 1.5"), 0);
    EXPECT_EQ(frames(*doc), soxFloats("'" + PathIn("a.wav") + "' '" + PathIn("b.wav") + "'"));

    ASSERT_TRUE(other->OnOpenDocument(clipWav));
    SelectAllSamples(*other);
    CopySelection(*other, clip);
    const double end = doc->Channel(0).sampleCount;
    Select(*doc, end, end);
    PasteClipboard(*doc, clip, false);
    EXPECT_EQ(frames(*doc), soxFloats("'" + PathIn("a.wav") + "' '" + PathIn("b.wav") + "' '" + clipWav + "'"));
}

}  // namespace
}  // namespace vocomet
