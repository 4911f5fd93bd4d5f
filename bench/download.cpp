// A 200 MB image fetched from a loopback server through the whole transfer (socket, pump,
// response reading, working file) against curl writing the same body to a file, in the same
// run, alternating: prints the median and the best wall times, the ratio of the medians, and
// the transfer's peak resident memory. With "https" the same runs go over TLS, to a server
// whose certificate comes from a test authority both clients trust.
//
//   bench_download [megabytes] [runs] [https]      (defaults 200, 5, plain http)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "gather/driver.h"
#include "host/progress_view.h"
#include "net/tls_socket.h"
#include "net/transfer.h"
#include "platform/linux/openssl_engine.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/posix_timer.h"
#include "tests/posix/loopback_server.h"
#include "tests/posix/temp_dir.h"
#include "tests/posix/test_pki.h"
#include "ui/progress_presenter.h"
#include "ui/retrieval_reporter.h"

extern char** environ;

namespace {

class QuietDialogs final : public vexal::Dialogs {
public:
    int boxes = 0;
    void Error(const std::string&, const std::string& text) override { Report(text); }
    void Notice(const std::string&, const std::string& text) override { Report(text); }
    bool AskRetry(const std::string&, const std::string& text) override { return Report(text), false; }
    bool AskYesNo(const std::string&, const std::string& text) override { return Report(text), false; }
    bool AskYesNoDefaultNo(const std::string&, const std::string& text) override {
        return Report(text), false;
    }
    vexal::Answer AskYesNoCancel(const std::string&, const std::string& text) override {
        return Report(text), vexal::Answer::Cancel;
    }
    std::string AskText(const std::string&, const std::string& text) override { return Report(text), ""; }

private:
    void Report(const std::string& text) {
        ++boxes;
        std::fprintf(stderr, "box: %s\n", text.c_str());
    }
};

class NoProgress final : public vexal::ProgressView {
public:
    void SetMessage(const std::string&) override {}
    void SetProgressRange(double, double) override {}
    void SetProgressValue(double) override {}
    void SetBytesText(const std::string&) override {}
    void ShowWindow() override {}
    void HideWindow() override {}
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long PeakRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs curl writing the body into `file`; returns its wall time, or -1 when it failed.
double Curl(const std::string& url, const std::string& file, const std::string& caFile) {
    std::vector<std::string> args = {"curl", "-s", "-S", "-o", file, url};
    if (!caFile.empty()) args.insert(args.begin() + 1, {"--cacert", caFile});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (::posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double s = Seconds(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const bool secure = argc > 3 && std::string(argv[3]) == "https";
    const std::size_t size = mb * 1000 * 1000;

    vexal::testing::TempDir dir;
    vexal::testing::TestPki pki(dir.path());
    const vexal::testing::ServerIdentity identity = pki.Issue("server", "DNS:localhost,IP:127.0.0.1");
    ::setenv("SSL_CERT_FILE", pki.caFile.c_str(), 1);

    // The body is sent from one 1 MiB block, so the server adds little to this process's memory.
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u) >> 11);
    vexal::testing::LoopbackServer server([&](vexal::testing::ServerConnection& c, int) {
        if (secure && !c.AcceptTls(identity.cert.get(), identity.key.get())) return;
        if (c.ReadRequest().empty()) return;
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Type: image/bmp\r\nContent-Length: " + std::to_string(size) +
                    "\r\n\r\n"))
            return;
        for (std::size_t sent = 0; sent < size; sent += block.size())
            if (!c.Send(std::string_view(block).substr(0, std::min(block.size(), size - sent)))) return;
        c.WaitForClose();  // keep-alive: the client decides when the body is complete
    });
    const std::string url = secure ? server.SecureUrl("/big.bmp") : server.Url("/big.bmp");
    const long baselineKb = PeakRssKb();

    std::vector<double> ours, curls;
    long peakKb = 0;
    for (int run = 0; run < runs; ++run) {
        {
            vexal::Program program;
            vexal::InitGlobals(program, 1, 0);
            program.TimeOut = 10;
            program.CacheFileName = dir / "work";
            vexal::PosixReactor reactor;
            vexal::PosixSocket socket(reactor);
            vexal::PosixSocket tlsTransport(reactor);
            vexal::TlsSocket secureSocket(tlsTransport, vexal::MakeOpenSslEngine());
            vexal::PosixTimer timer(reactor);
            vexal::PosixFileSystem files;
            QuietDialogs dialogs;
            NoProgress progress;
            vexal::RetrievalReporter reporter(program, dialogs);
            vexal::ProgressPresenter presenter(program, progress);
            reporter.SetProgress(&presenter);
            const vexal::TransferServices services{&socket, &secureSocket, &timer, &reactor, &files, nullptr};
            vexal::Transfer transfer(services, reporter);
            vexal::TransferFetches fetches(program, transfer);
            vexal::RetrievalState state;
            state.image.ChosenImage = url;
            state.workName = program.CacheFileName;
            const auto start = std::chrono::steady_clock::now();
            const bool fetched = fetches.SetGrpData(state).Ok();
            ours.push_back(Seconds(start));
            peakKb = std::max(peakKb, PeakRssKb());
            if (!fetched || std::filesystem::file_size(state.image.WorkImageFile) != size) {
                std::fprintf(stderr, "the transfer failed\n");
                return 1;
            }
            std::filesystem::remove(state.image.WorkImageFile);
        }
        const double c = Curl(url, dir / "curl.bmp", secure ? pki.caFile : std::string());
        if (c < 0 || std::filesystem::file_size(dir / "curl.bmp") != size) {
            std::fprintf(stderr, "curl failed\n");
            return 1;
        }
        curls.push_back(c);
        std::filesystem::remove(dir / "curl.bmp");
    }

    const double ratio = Median(ours) / Median(curls);
    const double ratioLimit = secure ? 1.2 : 1.3;
    const double peakMb = peakKb / 1024.0;
    const double limitMb = size / 1048576.0 + 64;
    std::printf("body                 %zu MB over %s, %d runs each, medians\n", mb, secure ? "https" : "http",
                runs);
    std::printf("transfer             %.3f s  (%.0f MB/s), best %.3f s\n", Median(ours),
                size / 1e6 / Median(ours), *std::min_element(ours.begin(), ours.end()));
    std::printf("curl -o file         %.3f s  (%.0f MB/s), best %.3f s\n", Median(curls),
                size / 1e6 / Median(curls), *std::min_element(curls.begin(), curls.end()));
    std::printf("ratio                %.2f  (medians; best to best %.2f; target at most %.1f)\n", ratio,
                *std::min_element(ours.begin(), ours.end()) / *std::min_element(curls.begin(), curls.end()),
                ratioLimit);
    std::printf("peak resident        %.0f MiB, %.0f MiB before the first fetch (target at most %.0f MiB)\n",
                peakMb, baselineKb / 1024.0, limitMb);
    return ratio <= ratioLimit && peakMb <= limitMb ? 0 : 1;
}
