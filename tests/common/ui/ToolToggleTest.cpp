#include "common/ui/ToolToggle.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

TEST(ToolToggleTest, ShowsItsTextsAndReportsFlips) {
    ToolToggle row(QStringLiteral("Check for updates automatically"), QString(),
                   QStringLiteral("view-refresh"));
    row.show();
    auto* title = row.findChild<QLabel*>(QStringLiteral("toolToggleTitle"));
    auto* detail = row.findChild<QLabel*>(QStringLiteral("toolToggleDetail"));
    auto* toggle = row.findChild<QCheckBox*>(QStringLiteral("toolToggleSwitch"));
    ASSERT_TRUE(title && detail && toggle);
    EXPECT_EQ(title->text(), QStringLiteral("Check for updates automatically"));
    EXPECT_FALSE(detail->isVisible()) << "no detail, no second line";

    QSignalSpy spy(&row, &ToolToggle::set);
    QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.first().first().toBool());

    // Showing the model's value is not a user's flip.
    row.setOn(false);
    EXPECT_FALSE(row.isOn());
    EXPECT_EQ(spy.count(), 1);
}

TEST(ToolToggleTest, DetailLineWhenGiven) {
    ToolToggle row(QStringLiteral("Title"), QStringLiteral("More words"), QStringLiteral("folder"));
    row.show();
    auto* detail = row.findChild<QLabel*>(QStringLiteral("toolToggleDetail"));
    ASSERT_TRUE(detail);
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(row.detail(), QStringLiteral("More words"));
}
