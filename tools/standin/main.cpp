// vorlith-standin: the local stand-in for the web services Vorlith talks to.
#include "StandinOptions.h"
#include "StandinServer.h"

#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <pthread.h>

int main(int argc, char** argv) {
    using namespace vorlith::standin;
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.HelpAsked) {
        std::cout << UsageText;
        return 0;
    }
    if (!parsed.Parsed) {
        std::cerr << "vorlith-standin: " << parsed.Error << "\n" << UsageText;
        return 2;
    }
    const Options& options = *parsed.Parsed;

    // Fonts for the security image need a GUI application; it never shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // Signals are taken by sigwait below, never by a handler on a server thread.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    StandinServer server(options);
    std::mutex logLock;
    const auto log = [&logLock](const std::string& line) {
        const std::lock_guard lock(logLock);
        std::cerr << line << std::endl;
    };
    if (!options.Quiet)
        server.OnLog = log;
    if (options.RevealAnswers)
        server.OnChallenge = [log](const std::string& random, const std::string& seed,
                                   const std::string& characters) {
            log("challenge random=" + random + " seed=" + seed + " answer=" + characters);
        };

    const int port = server.Start();
    if (port < 0) {
        std::cerr << "vorlith-standin: cannot listen on 127.0.0.1:" << options.Port << "\n";
        return 1;
    }
    std::cout << "vorlith-standin listening on http://127.0.0.1:" << port << std::endl;

    int received = 0;
    sigwait(&endSignals, &received);
    server.Stop();
    return 0;
}
