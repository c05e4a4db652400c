#pragma once

#include <QString>

// The running application's identity: whether it is the Halcyrin suite itself, its display name
// and how messages refer to the place where the media options are set. Each executable declares
// its identifier and name once at start-up, before anything reads them; reads are thread-safe.
namespace MediaApp {

// The suite's bundle identifier, shared by every tool of the suite.
inline const QString halcyrinID = QStringLiteral("org.halcyrin.Halcyrin");

// Called once by main() before anything else. An empty identifier means "none".
void declare(const QString& identifier, const QString& bundleName, const QString& shortVersion = {},
             const QString& build = {});

QString identifier();
// True when the running application is the suite itself; false without an identifier.
bool isHalcyrin();
// The declared bundle name, or "Halcyrin" when none was declared.
QString name();
// "Media" inside the suite, "Settings" for a standalone tool.
QString settingsPlace();
// The declared short version and build number; empty when unknown.
QString shortVersion();
QString build();

} // namespace MediaApp
