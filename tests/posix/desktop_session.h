// What the tests against real desktop programs share: environment changes undone with
// the test, a private D-Bus session bus, and the rule that a missing desktop program is
// a failure in CI (CI=true) and a skip elsewhere, never a silent pass.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vexal::testing {

// The first of `tools` that is not on the PATH; empty when all are.
inline std::string MissingTool(std::initializer_list<const char*> tools) {
    for (const char* tool : tools)
        if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0) return tool;
    return {};
}

inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && *ci && std::string(ci) != "false";
}

// Fails (in CI) or skips the test when one of the programs is missing.
#define VEXAL_REQUIRE_TOOLS(...)                                                                          \
    do {                                                                                                  \
        const std::string missing_ = ::vexal::testing::MissingTool({__VA_ARGS__});                        \
        if (!missing_.empty()) {                                                                          \
            if (::vexal::testing::InCi()) FAIL() << missing_ << " is missing; scripts/setup installs it"; \
            GTEST_SKIP() << missing_ << " is not installed (scripts/setup installs it)";                  \
        }                                                                                                 \
    } while (0)

// Sets or removes environment variables, and puts them back as they were when it goes.
class EnvironmentChange {
public:
    EnvironmentChange() = default;
    ~EnvironmentChange() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                ::unsetenv(it->first.c_str());
            }
        }
    }
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;
    void Set(const std::string& name, const std::string& value) {
        Save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        ::unsetenv(name.c_str());
    }

private:
    void Save(const std::string& name) {
        const char* v = std::getenv(name.c_str());
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A private session bus. Services it starts on demand (dconf, xfconf) inherit the
// environment of the moment it was started, so set XDG_CONFIG_HOME first.
class SessionBus {
public:
    SessionBus() {
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
        if (!out) return;
        char line[512];
        if (std::fgets(line, sizeof line, out)) address_ = Chomp(line);
        if (std::fgets(line, sizeof line, out)) pid_ = std::atoi(line);
        ::pclose(out);
    }
    ~SessionBus() {
        if (pid_ > 0) ::kill(pid_, SIGTERM);
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    // Empty when the bus could not be started.
    const std::string& address() const { return address_; }

private:
    static std::string Chomp(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        return s;
    }
    std::string address_;
    int pid_ = -1;
};

}  // namespace vexal::testing
