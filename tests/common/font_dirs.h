// Temporary font directories filled by the project's font builder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testfonts {

namespace fs = std::filesystem;

// A fresh directory under the system temp directory, removed on destruction.
struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& tag) {
        path = fs::temp_directory_path() /
               ("pixkit-" + tag + "-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string Dir() const { return path.string() + "/"; }
};

// Runs rfnbuild; false when it fails (the family may not be installed).
inline bool Build(const fs::path& out, const std::string& family, const std::string& sizes,
                  int version = 2, const std::string& range = "") {
    const std::string cmd = std::string(VM_BIN_DIR) + "/rfnbuild --family \"" + family +
                            "\" --sizes " + sizes + " --version " + std::to_string(version) +
                            " --out \"" + out.string() + "\" " + range;
    return std::system(cmd.c_str()) == 0;
}

} // namespace testfonts
