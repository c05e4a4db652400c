#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <functional>

namespace TestSupport {

// Runs the event loop until `condition` holds or `timeoutMs` passed; returns the condition.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// Writes `bytes` to `path`, creating missing folders; returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);
// The bytes at `path` (empty when it cannot be read).
QByteArray readFile(const QString& path);

// Runs this test executable again with only `test` selected ("Suite.Name"), sharing this
// process's settings folder, and returns its exit code (-1 on a crash or timeout). The helper
// test calls `joinParentSettings()` first and skips itself when that returns false (a normal run).
int runHelperTest(const QString& test, const QProcessEnvironment& extra = {}, int timeoutMs = 60000);
// In a helper process: points XDG_CONFIG_HOME at the parent's folder before anything opens the
// settings store; false when this process is not a helper.
bool joinParentSettings();

} // namespace TestSupport
