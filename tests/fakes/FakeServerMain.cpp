// Runs the fake analysis server by hand:
//   fake_analysis_server <port> <scenario-file>
// The scenario file's format is described in FakeAnalysisServer.h. Every
// connection gets the same scenario; each request is summed up on stdout.
// Runs until it is killed.
#include "FakeAnalysisServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fake_analysis_server <port> <scenario-file>\n");
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    FakeScenario scenario;
    if (!file.is_open() || !ParseScenario(text.str(), &scenario)) {
        std::fprintf(stderr, "cannot read the scenario %s\n", argv[2]);
        return 2;
    }
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
    // The summaries need no bytes, and a long demo must not hold every upload.
    FakeAnalysisServer server(false);
    server.AddScenario(scenario);
    if (!server.Start(static_cast<unsigned short>(std::atoi(argv[1])))) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%s\n", argv[1]);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", server.Port());
    std::fflush(stdout);
    for (size_t reported = 0;; std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        const auto requests = server.Requests();
        // A request is summed up once the next connection has begun or it is complete.
        for (; reported < requests.size() && (requests[reported].complete || reported + 1 < requests.size());
             ++reported) {
            const FakeRequest& request = requests[reported];
            std::printf("request %zu: %llu bytes,%s keys:", reported + 1,
                        static_cast<unsigned long long>(request.byteCount), request.complete ? "" : " incomplete,");
            for (const auto& key : request.keys) {
                std::printf(" %s", key.c_str());
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
}
