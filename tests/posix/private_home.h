// Every test process gets a home of its own: HOME, the XDG base folders and the runtime
// folder point into a fresh temporary folder, and no session bus is inherited. What a test
// or a tool it starts (dconf, xfconfd, openbox, fontconfig) keeps under ~ then never
// reaches the user's own files, nor a test that runs beside it or after it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace vexal::testing {

class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexal-home-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return;
        home_ = pattern;
        ::setenv("HOME", home_.c_str(), 1);
        const struct {
            const char* name;
            const char* folder;
        } folders[] = {{"XDG_CONFIG_HOME", "/.config"},
                       {"XDG_DATA_HOME", "/.local/share"},
                       {"XDG_CACHE_HOME", "/.cache"},
                       {"XDG_STATE_HOME", "/.local/state"},
                       {"XDG_RUNTIME_DIR", "/runtime"}};
        for (const auto& f : folders) {
            std::error_code ec;
            std::filesystem::create_directories(home_ + f.folder, ec);
            ::setenv(f.name, (home_ + f.folder).c_str(), 1);
        }
        // The runtime folder must be the user's alone, or D-Bus and Qt refuse it.
        std::filesystem::permissions(home_ + "/runtime", std::filesystem::perms::owner_all);
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    void TearDown() override {
        if (home_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }

private:
    std::string home_;
};

}  // namespace vexal::testing
