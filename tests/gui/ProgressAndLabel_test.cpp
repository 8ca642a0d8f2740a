#include <QDesktopServices>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/ui/CLabel.h"
#include "app/ui/CProgressDialog.h"

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

class ClickCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(Label, FontSettersAndChaining) {
    CLabel l;
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
