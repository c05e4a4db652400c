#include "mediaserver/MediaServerError.h"

#include "common/MediaApp.h"

MediaServerError MediaServerError::unreachable() {
    return {Kind::unreachable,
            QStringLiteral("Couldn't reach the server. Is the PC on and on the same network?")};
}

MediaServerError MediaServerError::notPaired() {
    return rejected(QStringLiteral("This computer isn't paired with the server any more. Pair it again in ") +
                    MediaApp::settingsPlace() + QStringLiteral(" › Media Server."));
}
