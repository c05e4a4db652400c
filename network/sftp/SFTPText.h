#pragma once

#include <QString>

// Text rules shared by address parsing and the SFTP client: which texts may reach the `sftp`
// command line or its batch commands, and how batch-command arguments and remote paths are
// written. Pure functions; any thread.
namespace SFTPText {

// True when no code point is a control or format character (Unicode categories Cc and Cf), so
// a file name can never smuggle a line break into the batch. Unpaired surrogates are refused.
bool isSafe(const QString& text);
// True when `text` does not begin with "-" (it would read as an option), isSafe holds and no
// code point is a horizontal space (tab or category Zs). The empty text is a safe target.
bool isSafeTarget(const QString& text);
// One double-quoted batch-command argument: backslashes doubled, then double quotes escaped.
QString quote(const QString& text);
// `name` inside remote `folder`: "." and "" mean the start folder.
QString join(const QString& folder, const QString& name);

} // namespace SFTPText
