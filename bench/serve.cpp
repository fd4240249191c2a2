// Runs the server core without a window, for benchmarks: starts the web server on port 80
// over the data folder of this user (XDG_DATA_HOME natively) and serves until standard
// input closes or ends.
#include <cstdio>

#include "server/web_server.h"

int main() {
    if (!server::TheWebServer.Start(nullptr)) return 1;
    std::fprintf(stdout, "serving\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    server::TheWebServer.Stop();
    return 0;
}
