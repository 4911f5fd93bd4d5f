// Dialogs for runs without a display (scheduled runs, tests): every box becomes one
// "TITLE: TEXT" line on standard error, and every question gets the cautious answer.
#pragma once

#include <cstdio>

#include "host/dialogs.h"

namespace vexal {

class StderrDialogs final : public Dialogs {
public:
    explicit StderrDialogs(std::FILE* out = stderr) : out_(out) {}
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
    std::string AskText(const std::string& title, const std::string& prompt) override {
        Write(title, prompt);
        return {};
    }

private:
    void Write(const std::string& title, const std::string& text);
    std::FILE* out_;
};

}  // namespace vexal
