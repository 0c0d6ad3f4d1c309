// Runs kv in the test process under Qt's offscreen platform, with its own
// program directory, settings file and state directory in a temporary
// folder, and records the message boxes instead of showing them. The scanner
// library sees a configuration without backends unless a test gives it one.
#pragma once

#include "kvapp.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

struct Shown {
    std::string Text, Caption;
};

class KvTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Copies build/bin/<name>.lng into the program directory.
    void InstallLanguage(const std::string& name);
    // Runs the entry point; check runs when interactive mode starts, after
    // which the main window is closed.
    void Run(std::vector<std::string> args, std::function<void(kv::TMainForm&)> check = {});
    std::vector<std::string> LogLines() const;

    std::filesystem::path root_;
    std::string programDir_;
    std::string settingsPath_;
    std::vector<Shown> shown_;
    // Answers to the next questions, in order; when none is left a question
    // is answered No and a message Ok.
    std::deque<kv::MsgResult> answers_;
    bool reachedInteractive_ = false;
};

} // namespace kvtest
