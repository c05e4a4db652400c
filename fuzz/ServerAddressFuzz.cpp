// Pasted server addresses: parse() must never crash, and whatever it accepts must satisfy the
// checks the SFTP command line relies on and give a mount address or none without crashing.
#include "network/servers/ServerAddress.h"
#include "network/sftp/SFTPText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto server = ServerAddress::parse(text);
    if (!server)
        return 0;
    if (server->host.isEmpty() || !SFTPText::isSafeTarget(server->host) ||
        !SFTPText::isSafeTarget(server->user))
        std::abort();
    if (server->port && !ServerAddress::isValidPort(*server->port))
        std::abort();
    (void)ServerAddress::url(*server);
    (void)ServerAddress::bracketed(server->host);
    return 0;
}
