// The transfer's owner as net/'s tests need it: it keeps what a fetch told it as values,
// answers the question on a silent server from a script, counts the questions, and holds
// the cancel request that a test's cancel button raises.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "net/transfer.h"

namespace vexal {

// Readable names in a failed assertion, where the values would print as bytes.
inline void PrintTo(FetchStep step, std::ostream* out) {
    static const char* const kNames[] = {"Page", "PageText", "Image", "ImageLoaded"};
    *out << kNames[static_cast<int>(step)];
}

namespace testing {

// One step a fetch reported, with what it names.
struct StepSeen {
    FetchStep step;
    std::string subject;
    bool operator==(const StepSeen&) const = default;
    friend void PrintTo(const StepSeen& seen, std::ostream* out) {
        PrintTo(seen.step, out);
        *out << "(" << seen.subject << ")";
    }
};

class RecordingTransferOwner final : public TransferOwner {
public:
    std::vector<StepSeen> steps;
    std::vector<std::int16_t> socketTroubles;  // the error numbers, in order
    std::vector<std::int64_t> bodyLengths;     // each announced body length
    std::int64_t bodyBytes = 0;                // the body progress last reported
    std::deque<bool> retryAnswers;             // popped per question; empty means no retry
    int questions = 0;                         // how often the silence question was asked
    bool unattended = false;

    // The cancel button: the running fetch sees the request on its next pass.
    void PressCancel() { cancel_ = true; }

    void Step(FetchStep step, std::string_view subject) override {
        steps.push_back({step, std::string(subject)});
    }
    void SocketTrouble(std::int16_t number) override { socketTroubles.push_back(number); }
    void BodyLength(std::int64_t length) override { bodyLengths.push_back(length); }
    void BodyProgress(std::int64_t bytes) override { bodyBytes = bytes; }
    bool RetryOnSilence() override {
        ++questions;
        if (retryAnswers.empty()) return false;
        const bool retry = retryAnswers.front();
        retryAnswers.pop_front();
        return retry;
    }
    void ClearCancel() override { cancel_ = false; }
    bool CancelRequested() const override { return cancel_; }
    bool Unattended() const override { return unattended; }

private:
    bool cancel_ = false;
};

}  // namespace testing
}  // namespace vexal
