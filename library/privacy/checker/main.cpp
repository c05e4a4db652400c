// quorvane-password-check: checks the current user's account password with PAM.
//
//   quorvane-password-check SERVICE --probe    exit 0 when PAM can start a conversation, 2 when not
//   quorvane-password-check SERVICE            reads the password from standard input (at most
//                                              4 KiB, no trailing newline needed); exit 0 right,
//                                              1 wrong, 2 PAM cannot authenticate at all
//
// A process of its own so that PAM modules, which may block, misbehave or crash, never run inside
// the application; it prints nothing.
#include "library/privacy/checker/PamConversation.h"

#include <unistd.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return PamConversation::denied;
    const std::string service = argv[1];
    if (argc > 2 && std::strcmp(argv[2], "--probe") == 0)
        return PamConversation::probe(service);
    std::string password;
    password.reserve(4096);
    char buffer[256];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0)
            break;
        password.append(buffer, size_t(got));
        std::memset(buffer, 0, sizeof buffer);
        if (password.size() > 4096) {
            PamConversation::wipe(password);
            return PamConversation::denied;
        }
    }
    return PamConversation::check(service, password);
}
