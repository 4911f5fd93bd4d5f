// A transfer made the way the retrieval session makes it, with a program of its own to
// fetch for, over the socket, timer and pump a test brings (a scripted double, or the real
// ones of a platform on loopback); the test host's doubles answer everything else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/run_controller.h"
#include "gather/driver.h"
#include "net/transfer.h"
#include "program/program.h"
#include "support/fakes.h"
#include "ui/retrieval_reporter.h"

namespace vexal::testing {

// What a test brings for the fetches. The parts must outlive the transfer: a test's rig
// derives from the struct that holds them before it derives from TransferRig, so they are
// made first and destroyed last.
struct TransferParts {
    Socket* socket = nullptr;
    Socket* secureSocket = nullptr;  // null: an https address is refused
    Timer* timer = nullptr;
    EventPump* pump = nullptr;
    ProgressView* progress = nullptr;
};

struct TransferRig {
    TransferRig(const TransferParts& parts, std::int32_t timeOut, std::string cacheFileName) {
        InitGlobals(program, 1, 0);
        program.TimeOut = timeOut;
        program.CacheFileName = std::move(cacheFileName);
        test.host.socket = parts.socket;
        test.host.secureSocket = parts.secureSocket;
        test.host.timer = parts.timer;
        test.host.pump = parts.pump;
        services = {parts.socket, parts.secureSocket, parts.timer, parts.pump, &test.files, nullptr};
        reporter = std::make_unique<RetrievalReporter>(program, test.dialogs);
        reporter->SetProgress(parts.progress);
        transfer = std::make_unique<Transfer>(services, *reporter);
        fetches = std::make_unique<TransferFetches>(program, *transfer);
    }

    // The services as the test host has them now: a test may swap the files or take the
    // TLS socket away after the rig is made.
    void Sync() {
        services = {test.host.socket, test.host.secureSocket, test.host.timer,
                    test.host.pump,   test.host.files,        test.host.guard};
    }
    // The page `url` into SourceText.
    void Page(const std::string& url) {
        Sync();
        program.CurrentEntry().Url = url;
        succeeded = Told(fetches->SetGrpUrl(state));
    }
    // The picture `image` into the working file.
    void Image(const std::string& image, bool relative = false) {
        Sync();
        program.ChosenImage = image;
        program.RelativeToPage = relative;
        succeeded = Told(fetches->SetGrpData(state));
    }
    // A failed fetch is told the way a retrieval tells it.
    bool Told(const FetchResult& result) {
        last = result;
        if (!result.Ok()) controller.RetrievalFailed(FetchFailed(result));
        return result.Ok();
    }
    // Every box shown so far, as "kind:text".
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& b : test.dialogs.boxes) out.push_back(b.kind + ":" + b.text);
        return out;
    }

    Program program;
    TestHost test;
    RunController controller{program, test.host};
    TransferServices services;
    std::unique_ptr<RetrievalReporter> reporter;
    std::unique_ptr<Transfer> transfer;
    std::unique_ptr<TransferFetches> fetches;
    RetrievalState state;
    bool succeeded = false;  // whether the last fetch succeeded
    FetchResult last;        // what it returned
};

}  // namespace vexal::testing
