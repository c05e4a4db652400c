#include "library/ui/HomeMenuActions.h"
#include "common/UserDefaults.h"
#include "library/history/MediaRecents.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Presses the button named `label` of the confirmation once it is open, noting its texts.
void pressWhenShown(const QString& label, QString* text, QString* informative) {
    QTimer::singleShot(50, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            pressWhenShown(label, text, informative);
            return;
        }
        *text = box->text();
        *informative = box->informativeText();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == label)
                button->click();
        }
    });
}

void seedHistory() {
    MediaEntry entry;
    entry.key = QStringLiteral("/v/a.mp4");
    entry.name = QStringLiteral("a.mp4");
    entry.origin = MediaOrigin::file(entry.key);
    MediaRecents::note(entry, 60, 600);
}

} // namespace

TEST(HomeMenuActionsTest, ConfirmClearAll) {
    struct Case {
        const char* button;
        int left;
    };
    for (const Case& c : {Case{"Cancel", 1}, Case{"Clear History", 0}}) {
        UserDefaults::media().remove(MediaRecents::storeKey);
        seedHistory();
        QString text, informative;
        pressWhenShown(QString::fromUtf8(c.button), &text, &informative);
        HomeMenuActions::confirmClearAll();
        EXPECT_EQ(text, QStringLiteral("Clear all watch history?"));
        EXPECT_EQ(informative,
                  QStringLiteral("Continue Watching and Recently Played are emptied and videos forget "
                                 "where you left off. Ratings, hidden items and private folders stay."));
        EXPECT_EQ(MediaRecents::all().size(), c.left) << c.button;
    }
}
