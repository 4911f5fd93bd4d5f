// A retrieval's owner that writes what it is told into a log, one line a call ("say
// ListingFolder", "progress show", "body 0"), so a test reads the steps as values. Its
// cancel flag is the program's, as the front ends keep it; the silent-server question is
// always declined.
#pragma once

#include <string>
#include <vector>

#include "gather/retrieval_owner.h"
#include "program/program.h"

namespace vexal::testing {

class LoggingOwner final : public RetrievalOwner {
public:
    LoggingOwner(std::vector<std::string>& log, Program& program) : log_(log), program_(program) {}
    void Step(FetchStep, std::string_view) override {}
    void SocketTrouble(std::int16_t) override {}
    void BodyLength(std::int64_t) override {}
    void BodyProgress(std::int64_t bytes) override { log_.push_back("body " + std::to_string(bytes)); }
    bool RetryOnSilence() override { return false; }
    void ClearCancel() override { program_.CancelRequested = false; }
    bool CancelRequested() const override { return program_.CancelRequested; }
    bool Unattended() const override { return false; }
    void Say(RetrievalStep step) override {
        static constexpr const char* kNames[] = {"ListingFolder", "WaitingForOtherRun", "ConvertingPng"};
        log_.push_back(std::string("say ") + kNames[static_cast<int>(step)]);
    }
    void ShowProgress() override { log_.push_back("progress show"); }
    void HideProgress() override { log_.push_back("progress hide"); }

private:
    std::vector<std::string>& log_;
    Program& program_;
};

}  // namespace vexal::testing
