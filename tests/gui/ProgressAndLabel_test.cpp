#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include "widgets/CLabel.h"
#include "widgets/CProgressDialog.h"
#include "widgets/QtText.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

QColor PixelAtFraction(CProgressDialog& d, double fraction) {
    const QImage img = d.grab().toImage();
    const QRect bar = d.BarRect();
    const int x = bar.left() + static_cast<int>(bar.width() * fraction);
    return img.pixelColor(x, bar.center().y());
}

TEST(ProgressDialog, BarFillsRedFromTheLeftAndOnlyGrows) {
    CProgressDialog d;
    d.SetProgressText(QStringLiteral("Reading: a.vcm"));
    d.show();
    const QColor red(255, 0, 0), grey(200, 200, 200);

    d.ShowProgress(100, 50);
    EXPECT_EQ(PixelAtFraction(d, 0.25), red);
    EXPECT_EQ(PixelAtFraction(d, 0.75), grey);
    d.ShowProgress(100, 20);  // going back leaves the longer part standing
    EXPECT_EQ(PixelAtFraction(d, 0.4), red);
    d.ShowProgress(100, 100);
    EXPECT_EQ(PixelAtFraction(d, 0.97), red);
    d.ShowProgress(100, 0);
    EXPECT_EQ(PixelAtFraction(d, 0.25), grey);
    d.ShowProgress(0, 5);  // no total: nothing to show, nothing divided by zero
    EXPECT_TRUE(d.BarIsGrey());
    d.SetFraction(7.0);  // clamped
    EXPECT_DOUBLE_EQ(d.FilledFraction(), 1.0);
}

TEST(ProgressDialog, ALeftClickOrEscapeRequestsTheAbort) {
    CProgressDialog d;
    d.show();
    EXPECT_FALSE(d.AbortRequested());
    QTest::mouseClick(&d, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(d.AbortRequested());
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(d.AbortRequested());

    CProgressDialog e;
    e.show();
    QTest::keyClick(&e, Qt::Key_Escape);
    EXPECT_TRUE(e.AbortRequested());
    EXPECT_TRUE(e.isVisible());  // the caller closes it, not the key
}

TEST(ProgressDialog, CaptionIsBlankAndEveryTextFitsTheWindow) {
    CProgressDialog d;
    // An empty title would make the window system show the program's name.
    EXPECT_FALSE(d.windowTitle().isEmpty());
    EXPECT_TRUE(d.windowTitle().trimmed().isEmpty());

    const QString names[] = {QStringLiteral("a.vcm"), QStringLiteral("voice_clinic_2005-03-14_take_2.vcm"),
                             QString(400, QLatin1Char('x')) + QStringLiteral(".vcm")};
    for (const QString& name : names) {
        const QString full = QStringLiteral("Reading: ") + name;
        d.SetProgressText(full);
        d.show();
        for (const CLabel* label : {&d.PromptLabel(), &d.TextLabel()}) {
            const QFontMetrics fm(label->font());
            EXPECT_GE(label->width(), fm.horizontalAdvance(label->text())) << label->text().toStdString();
            EXPECT_GE(label->height(), fm.height());
            EXPECT_TRUE(d.rect().contains(label->geometry())) << label->text().toStdString();
        }
        // What the screen cannot hold is shortened in the middle, and the
        // whole text is one hover away.
        if (name.size() < 100) {
            EXPECT_EQ(d.TextLabel().text(), full);
        } else {
            EXPECT_LE(d.width(), d.screen()->availableGeometry().width());
            EXPECT_TRUE(d.TextLabel().text().startsWith(QStringLiteral("Reading: x")));
            EXPECT_TRUE(d.TextLabel().text().endsWith(QStringLiteral("x.vcm")));
            EXPECT_EQ(d.TextLabel().toolTip(), full);
        }
        // The rows do not overlap: prompt, text, bar from the top.
        EXPECT_LE(d.PromptLabel().geometry().bottom(), d.TextLabel().geometry().top());
        EXPECT_LE(d.TextLabel().geometry().bottom(), d.BarRect().top());
        EXPECT_TRUE(d.rect().contains(d.BarRect()));
    }
    EXPECT_EQ(d.PromptLabel().text(), QStringLiteral("Press mouse to Cancel"));
    EXPECT_EQ(d.PromptLabel().font().pixelSize(), 16);

    d.SetProgressText(QStringLiteral("Reading: ") + names[1]);
    d.ShowProgress(100, 40);
    const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/progress-dialog.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    EXPECT_TRUE(d.grab().save(shot));
}

class ClickCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(ProgressDialog, APressOnAnyWindowCancelsAndOtherInputWaitsUntilItCloses) {
    ClickCounter main;
    main.resize(300, 200);
    int triggered = 0;
    QAction shortcut(&main);
    shortcut.setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
    shortcut.setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(&shortcut, &QAction::triggered, [&] { ++triggered; });
    main.addAction(&shortcut);
    main.show();
    main.activateWindow();  // shortcuts need an active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));

    auto d = std::make_unique<CProgressDialog>(&main);
    d->show();
    QTest::mouseClick(&main, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_FALSE(d->AbortRequested());
    QTest::keyClick(&main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(d->AbortRequested());
    QTest::mouseClick(&main, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(d->AbortRequested());
    EXPECT_EQ(main.presses, 0);  // no command ran under the loop
    EXPECT_EQ(triggered, 0);

    d.reset();  // the caller closes it: input flows again
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QTest::mouseClick(&main, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(&main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(main.presses, 1);
    EXPECT_EQ(triggered, 1);
}

class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(Label, FontSettersAndChaining) {
    CLabel l;
    // The desktop's default face, 12 pixels of cell height.
    EXPECT_EQ(l.GetLogFont().faceName, ToCp1252(QApplication::font().family()));
    EXPECT_EQ(l.GetLogFont().height, 12);
    EXPECT_EQ(l.font().family(), QApplication::font().family());
    l.SetFontSize(16).SetFontItalic(true).SetFontUnderline(true).SetTextColor(platform::Rgb(1, 2, 3));
    EXPECT_EQ(l.GetLogFont().height, -16);
    EXPECT_EQ(l.font().pixelSize(), 16);
    EXPECT_TRUE(l.font().italic());
    EXPECT_TRUE(l.font().underline());
    EXPECT_EQ(l.palette().color(QPalette::WindowText), QColor(1, 2, 3));
}

TEST(Label, ClicksOpenOnlyLinksAndOtherwiseReachTheParent) {
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
    ClickCounter parent;
    parent.resize(200, 50);
    auto* label = new CLabel(&parent);
    label->setGeometry(0, 0, 200, 50);
    label->SetText(QStringLiteral("https://example.org/help"));
    parent.show();

    QTest::mouseClick(&parent, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(parent.presses, 1);
    EXPECT_TRUE(sink.opened.isEmpty());

    label->SetLink(true);
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(sink.opened.size(), 1);
    EXPECT_EQ(sink.opened.front().toString(), QStringLiteral("https://example.org/help"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

}  // namespace
}  // namespace vocomet

#include "ProgressAndLabel_test.moc"
