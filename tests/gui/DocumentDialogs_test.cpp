#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "core/COrielDoc.h"
#include "core/ui/CDialogChannelSelect.h"
#include "core/ui/CDialogFileChannelSelect.h"
#include "core/ui/CDialogGenericFileSelection.h"
#include "core/ui/DocumentDialogs.h"
#include "support/DocumentFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// A runner that answers each dialog the document shows as a user would:
// shown, then answered; a dialog of another kind fails the test.
template <typename Dialog>
DocumentDialogRunner Answering(std::function<void(Dialog&)> answer) {
    return [answer](QDialog& d) {
        auto* typed = qobject_cast<Dialog*>(&d);
        if (!typed) {
            ADD_FAILURE() << "unexpected dialog " << d.windowTitle().toStdString();
            return static_cast<int>(QDialog::Rejected);
        }
        typed->show();
        answer(*typed);
        typed->hide();
        return typed->result();
    };
}

void SaveGrab(QWidget& w, const char* name) {
    w.adjustSize();
    // Kept in the test's folder, to look at.
    w.grab().save(QString::fromStdString(test::FreshTempDir() + "/" + name));
}

// ---- the generic-file dialog --------------------------------------------------------------

TEST(GenericFileDialog, ShowsTheAnswersAndKeepsEachPairExclusive) {
    test::ScriptedPrompts prompts;
    CDialogGenericFileSelection d(prompts);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Generic File Selection"));
    d.SetAnswers(GenericFileAnswers{});
    SaveGrab(d, "generic_file_dialog.png");
    EXPECT_EQ(d.HeaderEdit()->text(), QStringLiteral("0"));
    EXPECT_EQ(d.RateEdit()->text(), QStringLiteral("10000"));
    EXPECT_TRUE(d.BinaryButton()->isChecked());
    EXPECT_TRUE(d.SixteenBitButton()->isChecked());
    EXPECT_TRUE(d.HighByteFirstButton()->isChecked());
    EXPECT_TRUE(d.LowByteFirstButton()->isEnabled());
    EXPECT_EQ(d.BinaryButton()->text(), QStringLiteral("Interger binary"));
    EXPECT_EQ(d.YesButton()->text(), QStringLiteral("Yes"));

    // "8 bit" greys out the byte order; "16 bit" brings it back.
    d.EightBitButton()->click();
    EXPECT_FALSE(d.SixteenBitButton()->isChecked());
    EXPECT_FALSE(d.LowByteFirstButton()->isEnabled());
    EXPECT_FALSE(d.HighByteFirstButton()->isEnabled());
    d.SixteenBitButton()->click();
    EXPECT_TRUE(d.HighByteFirstButton()->isEnabled());
    d.LowByteFirstButton()->click();
    d.AsciiButton()->click();
    EXPECT_FALSE(d.BinaryButton()->isChecked());
    EXPECT_TRUE(d.SixteenBitButton()->isChecked());  // the other pairs are untouched

    d.HeaderEdit()->setText(QStringLiteral(" 44 "));
    d.RateEdit()->setText(QStringLiteral("22050"));
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.messages.empty());
    const GenericFileAnswers& a = d.Answers();
    EXPECT_EQ(a.headerBytes, 44);
    EXPECT_EQ(a.sampleRate, 22050);
    EXPECT_EQ(a.integerBinary, 0);
    EXPECT_EQ(a.sixteenBit, 1);
    EXPECT_EQ(a.highByteFirst, 0);

    // Answers given in are shown as given.
    GenericFileAnswers eight;
    eight.sixteenBit = 0;
    eight.integerBinary = 0;
    eight.highByteFirst = 0;
    d.SetAnswers(eight);
    EXPECT_TRUE(d.EightBitButton()->isChecked());
    EXPECT_TRUE(d.AsciiButton()->isChecked());
    EXPECT_TRUE(d.LowByteFirstButton()->isChecked());
    EXPECT_FALSE(d.LowByteFirstButton()->isEnabled());
}

TEST(GenericFileDialog, RefusesValuesNoFileCanHave) {
    const struct {
        const char* header;
        const char* rate;
        const char* message;
        bool headerFocused;
    } cases[] = {
        {"-1", "10000", "The header size must be 0 bytes or more.", true},
        {"0", "0", "The sample rate must be more than 0 Hz.", false},
        {"0", "-44100", "The sample rate must be more than 0 Hz.", false},
        {"12b", "10000", "Please enter an integer.", true},
        {"", "10000", "Please enter an integer.", true},
        {"0", "8000.5", "Please enter an integer.", false},
        {"0", "99999999999", "Please enter an integer.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.header) + " / " + c.rate);
        test::ScriptedPrompts prompts;
        CDialogGenericFileSelection d(prompts);
        d.show();
        d.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
        d.HeaderEdit()->setText(QString::fromLatin1(c.header));
        d.RateEdit()->setText(QString::fromLatin1(c.rate));
        d.accept();
        EXPECT_TRUE(d.isVisible());  // still open
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), c.message);
        EXPECT_EQ(prompts.beeps, 1);
        EXPECT_EQ(d.HeaderEdit()->hasFocus(), c.headerFocused);
        d.reject();
    }
}

// ---- the channel selection dialogs --------------------------------------------------------

QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

TEST(ChannelSelectDialog, ListsTheDocumentsChannelsAndReturnsTheChosenOne) {
    CDialogChannelSelect d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Data Channel Select"));
    d.SetChannels({"Mic", "EGG", "Flow"}, 0);
    SaveGrab(d, "channel_select_dialog.png");
    EXPECT_EQ(Items(d.List()), (QStringList{"(Cha 1) Mic", "(Cha 2) EGG", "(Cha 3) Flow"}));
    EXPECT_EQ(d.List()->currentIndex(), 0);
    EXPECT_EQ(d.Selection(), 0);
    d.List()->setCurrentIndex(2);
    EXPECT_EQ(d.Selection(), 2);
    EXPECT_EQ(d.SelectedText(), QStringLiteral("(Cha 3) Flow"));

    // The preselection is clamped to the list; names are Windows-1252 text.
    d.SetChannels({"Mic", "D\xE9\x62it"}, 7);
    EXPECT_EQ(d.Selection(), 1);
    EXPECT_EQ(d.SelectedText(), QStringLiteral("(Cha 2) D\u00E9bit"));
    std::vector<std::string> twenty(20, "c");
    d.SetChannels(twenty, -4);
    EXPECT_EQ(d.List()->count(), 20);
    EXPECT_EQ(d.Selection(), 0);
}

TEST(FileChannelSelectDialog, ListsEveryChannelOfTheFile) {
    CDialogFileChannelSelect d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Select channels"));
    d.SetChannelCount(4);
    SaveGrab(d, "file_channel_select_dialog.png");
    EXPECT_EQ(Items(d.List()), (QStringList{"Channel #1", "Channel #2", "Channel #3", "Channel #4"}));
    EXPECT_EQ(d.Selection(), 0);
    d.SetChannelCount(14, 20);
    EXPECT_EQ(d.List()->count(), 14);
    EXPECT_EQ(d.List()->itemText(13), QStringLiteral("Channel #14"));
    EXPECT_EQ(d.Selection(), 13);
    d.List()->setCurrentIndex(11);
    EXPECT_EQ(d.Selection(), 11);
}

// ---- the dialogs behind a document --------------------------------------------------------

class DocumentDialogsTest : public test::DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        InstallDocumentDialogs(doc->Hooks(), prompts, nullptr);
    }
};

TEST_F(DocumentDialogsTest, ExportsTheSecondChannelOfAStereoFileChosenInTheDialog) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    const std::string source = PathIn("stereo.wav");
    ASSERT_EQ(test::RunCommand("sox -V1 -n -r 16000 -c 2 -b 16 '" + source +
                               "' synth 0.05 sine 300 sawtooth 120 vol 0.7"),
              0);
    ASSERT_TRUE(doc->OnOpenDocument(source));
    ASSERT_EQ(doc->GetChannelCount(), 2);

    int shownCount = 0;
    const ScopedDocumentDialogRunner answer1(Answering<CDialogChannelSelect>([&shownCount](CDialogChannelSelect& d) {
        shownCount = d.List()->count();
        d.List()->setCurrentIndex(1);
        d.accept();
    }));
    const std::string out = PathIn("second.wav");
    prompts.paths.push_back(out);
    doc->OnFileExportChannelAsWave();
    EXPECT_EQ(shownCount, 2);
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    // The default name carries the chosen channel's name.
    EXPECT_EQ(prompts.saveRequests[0].initialPath, "Export_stereo_" + doc->Channel(1).name);

    test::ScriptedPrompts otherPrompts;
    COrielDoc back(app, otherPrompts);
    ASSERT_TRUE(back.OnOpenDocument(out));
    ASSERT_EQ(back.GetChannelCount(), 1);
    const CChannels& written = back.Channel(0);
    const CChannels& second = doc->Channel(1);
    ASSERT_EQ(written.sampleCount, second.sampleCount);
    ASSERT_GT(written.sampleCount, 0.0);
    for (int k = 0; k < static_cast<int>(second.sampleCount); ++k) {
        float a = 0, b = 0;
        ASSERT_TRUE(written.ReadSample(k, a));
        ASSERT_TRUE(second.ReadSample(k, b));
        ASSERT_EQ(a, b) << "sample " << k;
    }
    // The first channel differs: it really is the second one.
    float first = 0, w = 0;
    ASSERT_TRUE(doc->Channel(0).ReadSample(10, first));
    ASSERT_TRUE(written.ReadSample(10, w));
    EXPECT_NE(first, w);

    // Cancel ends the export without asking for a file.
    const ScopedDocumentDialogRunner answer2(
        Answering<CDialogChannelSelect>([](CDialogChannelSelect& d) { d.reject(); }));
    doc->OnFileExportChannelAsWave();
    EXPECT_EQ(prompts.saveRequests.size(), 1u);
}

TEST_F(DocumentDialogsTest, TheFileChannelDialogPicksTheAiffChannelToRead) {
    if (!test::HaveTool("sox"))
        GTEST_SKIP() << "sox is not installed";
    const std::string path = PathIn("four.aiff");
    ASSERT_EQ(test::RunCommand("sox -V1 -n -r 8000 -c 4 -b 16 '" + path +
                               "' synth 0.02 sine 300 sine 500 sine 700 sine 900"),
              0);
    // The same file, channel by channel, as sox reads it.
    int shownCount = 0;
    const ScopedDocumentDialogRunner answer3(
        Answering<CDialogFileChannelSelect>([&shownCount](CDialogFileChannelSelect& d) {
            shownCount = d.List()->count();
            d.List()->setCurrentIndex(2);
            d.accept();
        }));
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_EQ(shownCount, 4);
    const std::string third = PathIn("third.f32");
    ASSERT_EQ(test::RunCommand("sox -V1 '" + path + "' -t f32 '" + third + "' remix 3"), 0);
    const std::string bytes = test::ReadAll(third);
    ASSERT_EQ(doc->Channel(0).sampleCount, static_cast<double>(bytes.size() / 4));
    for (std::size_t k = 0; k < bytes.size() / 4; ++k) {
        float v = 0;
        std::memcpy(&v, bytes.data() + 4 * k, 4);
        ASSERT_EQ(doc->Channel(0).samples[k], v) << "sample " << k;
    }

    // Cancel ends the open.
    const ScopedDocumentDialogRunner answer4(
        Answering<CDialogFileChannelSelect>([](CDialogFileChannelSelect& d) { d.reject(); }));
    test::ScriptedPrompts otherPrompts;
    COrielDoc other(app, otherPrompts);
    InstallDocumentDialogs(other.Hooks(), otherPrompts, nullptr);
    EXPECT_FALSE(other.OnOpenDocument(path));
    EXPECT_TRUE(otherPrompts.messages.empty());
}

TEST_F(DocumentDialogsTest, AnUnknownFileIsReadAsTheGenericDialogSays) {
    const std::string path = PathIn("numbers.txt");
    test::WriteAll(path, "100\r\n-200\r\n300");
    const ScopedDocumentDialogRunner answer5(Answering<CDialogGenericFileSelection>([](CDialogGenericFileSelection& d) {
        d.AsciiButton()->click();
        d.RateEdit()->setText(QStringLiteral("500"));
        d.YesButton()->click();
    }));
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeAscii);
    EXPECT_EQ(doc->settings.genericAnswers.sampleRate, 500);
    EXPECT_EQ(doc->Channel(0).rate, 500.0);
    ASSERT_EQ(doc->Channel(0).sampleCount, 3.0);
    EXPECT_EQ(doc->Channel(0).samples[2], 300.0f / 32768.0f);

    const ScopedDocumentDialogRunner answer6(
        Answering<CDialogGenericFileSelection>([](CDialogGenericFileSelection& d) { d.reject(); }));
    EXPECT_FALSE(doc->OnOpenDocument(path));
    EXPECT_EQ(doc->Channel(0).rate, 500.0);  // the document is as it was
}

}  // namespace
}  // namespace vocomet
