#pragma once

#include <QString>

#include <functional>

namespace TestSupport {

// Runs the event loop until `condition` holds or `timeoutMs` passed; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// Writes `bytes` to `path`, creating missing folders; returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);
// The bytes at `path` (empty when it cannot be read).
QByteArray readFile(const QString& path);

} // namespace TestSupport
