// Serves a folder with the loopback stream server for the benchmark script: prints
// "<port> <secret>" on one line, then serves until its standard input closes.
#include "media/server/LocalStreamServer.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-stream-server FOLDER\n");
        return 2;
    }
    LocalStreamServer server({QString::fromLocal8Bit(argv[1])});
    if (!server.start()) {
        std::fprintf(stderr, "bench-stream-server: cannot listen\n");
        return 1;
    }
    std::printf("%u %s\n", server.port(), server.secret().toStdString().c_str());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
