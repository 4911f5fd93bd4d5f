// Dialogs for runs without a display (scheduled runs, tests): every box becomes one
// "TITLE: TEXT" line on standard error, and every question gets the cautious answer.
#pragma once

#include <cstdio>
#include <functional>

#include "host/dialogs.h"

namespace vexal {

class StderrDialogs final : public Dialogs {
public:
    explicit StderrDialogs(std::FILE* out = stderr) : out_(out) {}
    // Each line goes to `write` instead, for a standard error that needs more than bytes.
    explicit StderrDialogs(std::function<void(const std::string& line)> write) : write_(std::move(write)) {}
    void Error(const std::string& title, const std::string& text) override { Write(title, text); }
    void Notice(const std::string& title, const std::string& text) override { Write(title, text); }
    bool AskRetry(const std::string& title, const std::string& text) override {
        Write(title, text);
        return false;
    }
    bool AskYesNo(const std::string& title, const std::string& text) override {
        Write(title, text);
        return false;
    }
    bool AskYesNoDefaultNo(const std::string& title, const std::string& text) override {
        Write(title, text);
        return false;
    }
    Answer AskYesNoCancel(const std::string& title, const std::string& text) override {
        Write(title, text);
        return Answer::Cancel;
    }
    std::string AskText(const std::string& title, const std::string& prompt) override {
        Write(title, prompt);
        return {};
    }
    void Inform(const std::string& text) override { Write(kPlainTitle, text); }
    bool Unattended() const override { return true; }

private:
    void Write(const std::string& title, const std::string& text);
    std::FILE* out_ = nullptr;
    std::function<void(const std::string& line)> write_;
};

}  // namespace vexal
