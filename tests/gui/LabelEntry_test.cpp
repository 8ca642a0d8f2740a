#include <QCheckBox>
#include <QFontDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "app/ui/CLabelEntry.h"
#include "app/ui/LabelFont.h"
#include "widgets/QtText.h"
#include "support/ScriptedPrompts.h"

namespace vocomet {
namespace {

// A record with every field set, including those no font dialog shows, and
// a face that is not installed.
platform::LogFontA OddRecord() {
    platform::LogFontA lf;
    lf.height = 19;  // a cell height
    lf.width = 7;
    lf.escapement = 900;
    lf.orientation = 450;
    lf.weight = 0;  // "don't care"
    lf.italic = 0;
    lf.underline = 1;
    lf.strikeOut = 0;
    lf.charSet = 2;
    lf.outPrecision = 3;
    lf.clipPrecision = 2;
    lf.quality = 5;
    lf.pitchAndFamily = 0x22;
    lf.faceName = "No Such Face \xE9";
    return lf;
}

std::array<std::uint8_t, platform::LogFontA::kSize> Bytes(const platform::LogFontA& lf) {
    std::array<std::uint8_t, platform::LogFontA::kSize> b{};
    lf.Encode(b.data());
    return b;
}

TEST(LabelFont, UntouchedFieldsKeepTheirBytes) {
    const platform::LogFontA records[] = {OddRecord(), [] {
                                              platform::LogFontA lf;
                                              lf.height = -13;
                                              lf.weight = 700;
                                              lf.italic = 1;
                                              lf.faceName = "DejaVu Serif";
                                              return lf;
                                          }()};
    for (const platform::LogFontA& record : records) {
        SCOPED_TRACE(record.faceName);
        const QFont shown = ToQFont(record);
        // Nothing chosen differently: the very same bytes.
        EXPECT_EQ(Bytes(MergeChosenFont(record, shown, shown)), Bytes(record));

        // Through the real font dialog, accepted as it opened.
        QFontDialog dialog(shown);
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        QTimer::singleShot(0, &dialog, &QDialog::accept);
        ASSERT_EQ(dialog.exec(), QDialog::Accepted);
        EXPECT_EQ(Bytes(MergeChosenFont(record, shown, dialog.selectedFont())), Bytes(record));

        // Bold only: the weight changes, every other byte stays.
        QFont bold = shown;
        bold.setWeight(QFont::Bold);
        platform::LogFontA expected = record;
        expected.weight = 700;
        if (shown.weight() == QFont::Bold)
            expected.weight = record.weight;
        EXPECT_EQ(Bytes(MergeChosenFont(record, shown, bold)), Bytes(expected));
    }
}

TEST(LabelFont, ChangedFieldsAreTakenFromTheChoice) {
    const platform::LogFontA record = OddRecord();
    const QFont shown = ToQFont(record);
    QFont chosen = shown;
    chosen.setPixelSize(FontPixelHeight(shown) + 5);
    chosen.setItalic(true);
    chosen.setUnderline(false);
    chosen.setStrikeOut(true);
    const platform::LogFontA lf = MergeChosenFont(record, shown, chosen);
    EXPECT_EQ(lf.height, -(FontPixelHeight(shown) + 5));
    EXPECT_EQ(lf.italic, 1);
    EXPECT_EQ(lf.underline, 0);
    EXPECT_EQ(lf.strikeOut, 1);
    EXPECT_EQ(lf.weight, 0);
    EXPECT_EQ(lf.faceName, record.faceName);
    EXPECT_EQ(lf.charSet, 2);
    EXPECT_EQ(lf.escapement, 900);
    // A point size is turned into pixels.
    QFont points = shown;
    points.setPointSizeF(24.0);
    EXPECT_EQ(MergeChosenFont(record, shown, points).height, -FontPixelHeight(points));
}

TEST(LabelEntry, RadiosFollowTheJustification) {
    struct Case {
        int justification;
        bool left, center, right;
    };
    const Case cases[] = {{0, true, false, false}, {1, false, true, false}, {2, false, false, true},
                          {7, true, false, false}, {-1, true, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.justification);
        CLabelEntry d("x", platform::LogFontA{}, c.justification);
        d.show();
        EXPECT_EQ(d.LeftRadio()->isChecked(), c.left);
        EXPECT_EQ(d.CenterRadio()->isChecked(), c.center);
        EXPECT_EQ(d.RightRadio()->isChecked(), c.right);
        EXPECT_EQ(d.LeftState(), c.left ? 1 : 0);
        EXPECT_EQ(d.CenterState(), c.center ? 1 : 0);
        EXPECT_EQ(d.RightState(), c.right ? 1 : 0);
        EXPECT_EQ(d.Justification(), c.justification);  // kept until a radio is clicked
        EXPECT_EQ(d.focusWidget(), d.TextEdit());
    }

    CLabelEntry d;
    d.show();
    QTest::mouseClick(d.RightRadio(), Qt::LeftButton);
    EXPECT_EQ(d.Justification(), 2);
    EXPECT_EQ(d.LeftState() + d.CenterState() + d.RightState(), 1);
    EXPECT_EQ(d.RightState(), 1);
    QTest::mouseClick(d.CenterRadio(), Qt::LeftButton);
    EXPECT_EQ(d.Justification(), 1);
    EXPECT_EQ(d.CenterState(), 1);
    EXPECT_FALSE(d.RightRadio()->isChecked());
    QTest::mouseClick(d.LeftRadio(), Qt::LeftButton);
    EXPECT_EQ(d.Justification(), 0);
    EXPECT_EQ(d.LeftState(), 1);
}

TEST(LabelEntry, OkTakesTheTextAndFlagsBackIntoTheLabel) {
    LABEL label;
    label.SetText("caf\xE9\r\nbar");
    label.anchoring = LABEL::kAnchorRight;
    label.font = OddRecord();
    label.colour = platform::Rgb(10, 20, 30);
    label.time = 1234.5;
    label.relativeHeight = 0.25;
    CLabelEntry d(label);
    d.show();
    EXPECT_EQ(d.TextEdit()->toPlainText(), QString::fromUtf8("caf\xC3\xA9\nbar"));
    EXPECT_FALSE(d.AddLineBox()->isChecked());

    // Untouched, OK gives back the very same label.
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    LABEL same = label;
    d.ApplyTo(same);
    EXPECT_EQ(same, label);

    CLabelEntry e(label);
    e.show();
    e.TextEdit()->setPlainText(QString::fromUtf8("\xE2\x82\xAC 3\nline"));
    e.AddLineBox()->setChecked(true);
    QTest::mouseClick(e.LeftRadio(), Qt::LeftButton);
    e.accept();
    ASSERT_EQ(e.result(), QDialog::Accepted);
    LABEL changed = label;
    e.ApplyTo(changed);
    EXPECT_EQ(changed.Text(), "\x80 3\r\nline");
    EXPECT_EQ(changed.markerLine, 1);
    EXPECT_EQ(changed.anchoring, LABEL::kAnchorLeft);
    EXPECT_EQ(changed.time, 1234.5);
    EXPECT_EQ(changed.relativeHeight, 0.25);
    EXPECT_EQ(changed.font, label.font);
}

TEST(LabelEntry, TooLongOrUnencodableTextKeepsTheDialogOpen) {
    test::ScriptedPrompts prompts;
    CLabelEntry d;
    d.SetPrompts(&prompts);
    d.SetText("before");
    d.show();

    d.TextEdit()->setPlainText(QString(255, QLatin1Char('x')));
    d.accept();
    EXPECT_TRUE(d.isVisible());
    EXPECT_NE(d.result(), QDialog::Accepted);
    EXPECT_EQ(prompts.LastMessage(), "Please enter no more than 254 characters.");
    EXPECT_EQ(d.Text(), "before");
    EXPECT_EQ(d.focusWidget(), d.TextEdit());

    d.TextEdit()->setPlainText(QString::fromUtf8("\xCE\xB1\xCE\xB2"));
    d.accept();
    EXPECT_TRUE(d.isVisible());
    EXPECT_NE(prompts.LastMessage().find("cannot hold"), std::string::npos);
    EXPECT_EQ(d.Text(), "before");

    d.TextEdit()->setPlainText(QString(254, QLatin1Char('y')));
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.Text(), std::string(254, 'y'));
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST(LabelEntry, FontButtonKeepsTheCallersFontOnCancelAndMergesOnOk) {
    const platform::LogFontA record = OddRecord();
    const platform::ColorRef colour = platform::Rgb(0, 128, 255);
    CLabelEntry d("x", record, 0);
    d.SetColour(colour);
    int asked = 0;
    d.SetFontChooser([&](QWidget*, const QFont& font, const QColor& c) -> std::optional<CLabelEntry::FontChoice> {
        ++asked;
        EXPECT_EQ(c, ToQColor(colour));
        EXPECT_EQ(FontPixelHeight(font), FontPixelHeight(ToQFont(record)));
        return std::nullopt;
    });
    d.show();
    QTest::mouseClick(d.FontButton(), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(d.FontRecord(), record);
    EXPECT_EQ(d.Colour(), colour);

    d.SetFontChooser([](QWidget*, const QFont& font, const QColor&) -> std::optional<CLabelEntry::FontChoice> {
        QFont f = font;
        f.setStrikeOut(true);
        return CLabelEntry::FontChoice{f, QColor(255, 0, 0)};
    });
    QTest::mouseClick(d.FontButton(), Qt::LeftButton);
    platform::LogFontA expected = record;
    expected.strikeOut = 1;
    EXPECT_EQ(d.FontRecord(), expected);
    EXPECT_EQ(d.Colour(), platform::Rgb(255, 0, 0));
}

TEST(LabelEntry, EnterIsOkAndCtrlEnterStartsALine) {
    CLabelEntry d;
    d.show();
    d.activateWindow();
    QTest::keyClicks(d.TextEdit(), QStringLiteral("ab"));
    QTest::keyClick(d.TextEdit(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(d.TextEdit(), QStringLiteral("c"));
    EXPECT_TRUE(d.isVisible());
    QTest::keyClick(d.TextEdit(), Qt::Key_Return);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.Text(), "ab\r\nc");
}

}  // namespace
}  // namespace vocomet
