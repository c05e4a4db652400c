#pragma once

#include <QString>

#include <optional>

// The access tokens of paired media servers, in "Media Server Tokens.json" in the suite's data
// folder ($XDG_DATA_HOME/Halcyrin): one JSON object, server id → token. The suite's other tools
// read and write the same file.
//
// Any thread. Every read and write holds one process-wide lock and, across processes, an
// advisory lock on a lock file beside it (shared for reading, exclusive for writing), so a
// read-modify-write never loses another tool's change. A write goes to a new 0600 file that is
// then renamed over the old one, so no reader ever sees half a file. Tokens are never logged.
namespace MediaServerTokens {

// The token file's path.
QString file();

// The token stored for a server id; none when the file is missing, unreadable, not a JSON object,
// or holds no text under that id.
std::optional<QString> get(const QString& id);

// Stores `token` under `id`, or removes the member when `token` is none, and writes the file.
// False when the file could not be written; the old file then stays as it was.
bool set(const std::optional<QString>& token, const QString& id);

} // namespace MediaServerTokens
