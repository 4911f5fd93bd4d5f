// How promptly the transfer reacts, on the real socket, timer and pump against a loopback
// server: from the cancel button to the end of a fetch that is under way (target under
// 100 ms), and from the start of a fetch whose server stalls to the time-out question
// with TimeOut 1 (target 1000 to 1100 ms). The tests count passes and ticks instead; the
// times themselves are measured here. Prints medians over the runs.
//
//   bench_transfer_latency [runs]      (default 10)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "gather/driver.h"
#include "host/dialogs.h"
#include "host/progress_view.h"
#include "net/transfer.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_reactor.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/posix_timer.h"
#include "tests/posix/loopback_server.h"
#include "tests/posix/temp_dir.h"
#include "ui/progress_presenter.h"
#include "ui/retrieval_reporter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Answers every question with Cancel and notes when the time-out question came.
class TimedDialogs final : public vexal::Dialogs {
public:
    Clock::time_point asked{};
    void Error(const std::string&, const std::string&) override {}
    void Notice(const std::string&, const std::string&) override {}
    bool AskRetry(const std::string&, const std::string&) override {
        asked = Clock::now();
        return false;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool AskYesNoDefaultNo(const std::string&, const std::string&) override { return false; }
    vexal::Answer AskYesNoCancel(const std::string&, const std::string&) override {
        return vexal::Answer::Cancel;
    }
    std::string AskText(const std::string&, const std::string&) override { return ""; }
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

// The cancel button pressed once, from inside the pump, as the progress window's is.
class CancelButton final : public vexal::TimerListener {
public:
    CancelButton(vexal::PosixReactor& reactor, vexal::Program& program, int afterMs)
        : timer_(reactor), program_(program) {
        timer_.SetListener(this);
        timer_.SetInterval(afterMs);
        timer_.SetEnabled(true);
    }
    Clock::time_point pressed{};

private:
    void Timer_Timer() override {
        pressed = Clock::now();
        program_.CancelRequested = true;
        timer_.SetEnabled(false);
    }
    vexal::PosixTimer timer_;
    vexal::Program& program_;
};

// One fetch of `url` into `dir`; `cancelAfterMs` > 0 presses the cancel button that long
// into it. Returns the milliseconds from the press, or from the start to the question.
double Fetch(const std::string& url, const std::string& dir, int timeOut, int cancelAfterMs) {
    vexal::Program program;
    vexal::InitGlobals(program, 1, 0);
    program.TimeOut = timeOut;
    program.CacheFileName = dir + "/work";
    vexal::PosixReactor reactor;
    vexal::PosixSocket socket(reactor);
    vexal::PosixTimer timer(reactor);
    vexal::PosixFileSystem files;
    TimedDialogs dialogs;
    NoProgress progress;
    vexal::RetrievalReporter reporter(program, dialogs);
    vexal::ProgressPresenter presenter(program, progress);
    reporter.SetProgress(&presenter);
    const vexal::TransferServices services{&socket, nullptr, &timer, &reactor, &files, nullptr};
    vexal::Transfer transfer(services, reporter);
    vexal::TransferFetches fetches(program, transfer);
    vexal::RetrievalState state;
    state.image.ChosenImage = url;
    state.workName = program.CacheFileName;
    CancelButton button(reactor, program, cancelAfterMs > 0 ? cancelAfterMs : 0);
    const Clock::time_point start = Clock::now();
    (void)fetches.SetGrpData(state);
    const Clock::time_point end = Clock::now();
    if (cancelAfterMs > 0) return button.pressed == Clock::time_point{} ? -1 : Ms(end - button.pressed);
    return dialogs.asked == Clock::time_point{} ? -1 : Ms(dialogs.asked - start);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 10);
    vexal::testing::TempDir dir;
    // 100 bytes every 20 ms: a transfer that is under way when the button is pressed.
    vexal::testing::LoopbackServer dripping([](vexal::testing::ServerConnection& c, int) {
        if (c.ReadRequest().empty()) return;
        c.SendSlowly("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(100000, 'x'), 100, 20);
    });
    // Part of a response, then nothing.
    vexal::testing::LoopbackServer stalling([](vexal::testing::ServerConnection& c, int) {
        if (c.ReadRequest().empty()) return;
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
        c.WaitForClose();
    });

    std::vector<double> cancels, questions;
    for (int run = 0; run < runs; ++run) {
        const double cancel = Fetch(dripping.Url("/big.png"), dir.path(), 30, 200);
        const double question = Fetch(stalling.Url("/stall.png"), dir.path(), 1, 0);
        if (cancel < 0 || question < 0) {
            std::fprintf(stderr, "a fetch ended without its cancel or its question\n");
            return 1;
        }
        cancels.push_back(cancel);
        questions.push_back(question);
    }
    const double cancel = Median(cancels), question = Median(questions);
    std::printf("cancel to end of fetch     %.2f ms median, worst %.2f ms (target under 100 ms)\n", cancel,
                *std::max_element(cancels.begin(), cancels.end()));
    std::printf(
        "start to time-out question %.1f ms median, worst %.1f ms (TimeOut 1; target 1000 to 1100 ms)\n",
        question, *std::max_element(questions.begin(), questions.end()));
    std::printf("@ latency.cancel_ms %.2f\n@ latency.timeout_ms %.1f\n", cancel, question);
    return cancel < 100 && question >= 1000 && question < 1100 ? 0 : 1;
}
