#include "widgets/CButtonST.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

#include "support/TestPaths.h"

namespace vocomet {
namespace {

QIcon SquareIcon(const QColor& colour) {
    QPixmap p(16, 16);
    p.fill(colour);
    return QIcon(p);
}

void SaveScreenshot(QWidget& w, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    w.grab().save(path);
}

TEST(CButtonST, CheckBoxTogglesOnEachClickBeforeTheFormHearsIt) {
    CButtonST button(QStringLiteral("Record"));
    button.PreSubclassWindow(false, true);
    button.resize(100, 30);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    std::vector<int> seen;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { seen.push_back(button.GetCheck()); });

    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 1}));
    EXPECT_TRUE(ButtonLookOf(button.State()).pressed);  // drawn pressed while checked

    button.SetCheck(0);
    EXPECT_EQ(button.GetCheck(), 0);
    button.SetCheck(5);
    EXPECT_EQ(button.GetCheck(), 1);

    // A double click (press, release, double click, release) counts as two
    // clicks.
    seen.clear();
    const QPointF at(10, 10);
    const QPointF global = button.mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));  // from checked
}

TEST(CButtonST, PlainButtonKeepsNoCheckAndRefusesBadSettings) {
    CButtonST button(QStringLiteral("Play"));
    button.PreSubclassWindow(true, false);
    EXPECT_TRUE(button.IsDefaultButton());
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    button.SetCheck(1);
    EXPECT_EQ(button.GetCheck(), 0);

    button.SetColor(kButtonBackgroundIn, 0x00FF00);
    EXPECT_EQ(button.SetColor(4, 0x123456), 3);
    EXPECT_EQ(button.Color(kButtonBackgroundIn), 0x00FF00u);
    EXPECT_EQ(button.SetColor(kButtonForegroundOut, 0x0000FF), 0);

    button.SetAlign(kButtonImageTop);
    button.SetAlign(3);
    EXPECT_EQ(button.Align(), kButtonImageTop);

    EXPECT_EQ(button.SetIconHandles(QIcon()), 1);
    EXPECT_EQ(button.SetIconHandles(SquareIcon(Qt::red), SquareIcon(Qt::blue)), 0);

    button.SetTooltipText(QStringLiteral("Starts playing"));
    button.SetTooltipText(QString());
    EXPECT_EQ(button.toolTip(), QStringLiteral("Starts playing"));
    button.SetTooltipText(QStringLiteral("Inactive"), false);
    EXPECT_TRUE(button.toolTip().isEmpty());
}

TEST(CButtonST, FlatButtonRisesWhileTheMouseIsOverIt) {
    QWidget form;
    auto* layout = new QHBoxLayout(&form);
    auto* button = new CButtonST(QStringLiteral("Scope"), &form);
    button->SetIconHandles(SquareIcon(Qt::darkGreen), SquareIcon(Qt::gray));
    button->SetColor(kButtonBackgroundIn, 0x80FFFF);
    layout->addWidget(button);
    auto* other = new CButtonST(QStringLiteral("Stop"), &form);
    layout->addWidget(other);
    form.resize(260, 60);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    const QImage atRest = button->grab().toImage();
    const QPointF inside(button->width() / 2.0, button->height() / 2.0);
    QEnterEvent enter(inside, inside, button->mapToGlobal(inside));
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->IsHover());
    EXPECT_EQ(ButtonLookOf(button->State()).border, ButtonBorder::Raised);
    const QImage hovered = button->grab().toImage();
    EXPECT_NE(atRest, hovered);
    // The "in" background shows while hovered.
    EXPECT_EQ(hovered.pixel(button->width() - 4, 3) & 0xFFFFFF, 0xFFFF80u);
    SaveScreenshot(form, "CButtonST_hover.png");

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHover());
    QApplication::sendEvent(button, &enter);
    button->setEnabled(false);  // disabling drops the hover look
    EXPECT_FALSE(button->IsHover());
    SaveScreenshot(form, "CButtonST_disabled.png");
}

}  // namespace
}  // namespace vocomet
