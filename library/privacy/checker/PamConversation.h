#pragma once

#include <string>

// One PAM conversation for the current user of this process: the account password answers
// hidden prompts. Plain C++ over libpam, shared by the password checker program and its client.
// Blocking; never on the main thread.
namespace PamConversation {

// Also the checker program's exit codes.
enum Result { granted = 0, denied = 1, unavailable = 2 };

// `unavailable` when PAM cannot start a conversation for `service` at all (no configuration, no
// PAM), otherwise `granted`.
Result probe(const std::string& service);
// Checks `password` (authentication and account state) and wipes it.
Result check(const std::string& service, std::string& password);
// The account name of this process's user.
std::string currentUser();
// Overwrites the text's characters with zeros, then empties it.
void wipe(std::string& secret);

} // namespace PamConversation
