// The askpass program the SSH tools run (SSH_ASKPASS_REQUIRE=force) when the SFTP client has a
// password: it prints HALCYRIN_ASKPASS and a line break on standard output and nothing else,
// ever. No logging and no files, so the password goes nowhere but to the ssh that asked.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

bool writeAll(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

} // namespace

int main() {
    const char* password = std::getenv("HALCYRIN_ASKPASS");
    // Without a password, no answer: ssh takes a failed askpass as a cancelled prompt.
    if (!password)
        return 1;
    if (!writeAll(password, std::strlen(password)) || !writeAll("\n", 1))
        return 1;
    return 0;
}
