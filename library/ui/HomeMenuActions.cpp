#include "library/ui/HomeMenuActions.h"

#include "library/history/MediaRecents.h"

#include <QMessageBox>
#include <QPushButton>

namespace HomeMenuActions {

void confirmClearAll(QWidget* parent) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(QStringLiteral("Clear all watch history?"));
    box.setInformativeText(
        QStringLiteral("Continue Watching and Recently Played are emptied and videos forget where "
                       "you left off. Ratings, hidden items and private folders stay."));
    QPushButton* clear = box.addButton(QStringLiteral("Clear History"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(clear);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == clear)
        MediaRecents::clear(MediaRecents::Clearing::everything);
}

} // namespace HomeMenuActions
