#include "app/LegalMenuItems.h"

#include "converter/ui/Legal.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>

namespace LegalMenuItems {

void add(QMenu* menu) {
    const auto item = [menu](const QString& title, const QString& name, QUrl (*address)()) {
        QAction* action = menu->addAction(title);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, menu,
                         [address] { QDesktopServices::openUrl(address()); });
    };
    item(QStringLiteral("Privacy Notice"), QStringLiteral("actionPrivacy"), &Legal::privacy);
    item(QStringLiteral("Terms of Service"), QStringLiteral("actionTerms"), &Legal::terms);
    item(QStringLiteral("Acknowledgements"), QStringLiteral("actionAcknowledgements"), &Legal::openSource);
    item(QStringLiteral("Contact Support…"), QStringLiteral("actionSupport"), &Legal::support);
}

} // namespace LegalMenuItems
