// Every key kv looks up is defined by every language source, and the code
// takes its keys from keys.h instead of spelling them out.
#include "keys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

// The keys of the [Messages] section as the lookup reads them: trimmed
// lines up to the next section, comments and empty lines skipped.
std::set<std::string> MessageKeys(const fs::path& file) {
    std::ifstream in(file);
    std::set<std::string> keys;
    bool inMessages = false;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        line.erase(0, line.find_first_not_of(' '));
        if (!line.empty() && line[0] == '[') {
            inMessages = line == "[Messages]";
            continue;
        }
        if (!inMessages || line.empty() || line[0] == ';') continue;
        const auto eq = line.find('=');
        if (eq != std::string::npos) keys.insert(line.substr(0, eq));
    }
    return keys;
}

std::vector<fs::path> LanguageSources() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(VM_LANG_DIR))
        if (e.path().extension() == ".txt" && e.path().filename() != "CMakeLists.txt")
            files.push_back(e.path());
    return files;
}

std::vector<std::string> AllKeys() {
    std::vector<std::string> keys;
    for (auto k : key::kMessageKeys) keys.emplace_back(k);
    for (auto k : key::kStatusKeys) keys.emplace_back(k);
    for (auto k : key::kHelpKeys) keys.emplace_back(k);
    for (auto k : key::kToolNames) keys.emplace_back(k);
    for (auto k : key::kBarNames) keys.emplace_back(k);
    return keys;
}

TEST(LanguageKeys, EverySourceDefinesEveryKey) {
    const std::vector<fs::path> sources = LanguageSources();
    ASSERT_GE(sources.size(), 2u) << "English and German at least";
    for (const fs::path& file : sources) {
        const std::set<std::string> defined = MessageKeys(file);
        for (const std::string& k : AllKeys())
            EXPECT_TRUE(defined.count(k)) << file.filename() << " lacks " << k;
    }
}

TEST(LanguageKeys, TranslationsDefineTheSameKeysAsEnglish) {
    const std::set<std::string> english = MessageKeys(fs::path(VM_LANG_DIR) / "English.txt");
    for (const fs::path& file : LanguageSources())
        EXPECT_EQ(MessageKeys(file), english) << file.filename();
}

TEST(LanguageKeys, EnglishValuesOfNamesAreTheNamesThemselves) {
    // Tool names double as the English texts when no language is loaded.
    std::ifstream in(fs::path(VM_LANG_DIR) / "English.txt");
    std::set<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.insert(line);
    for (auto name : key::kToolNames)
        EXPECT_TRUE(lines.count(std::string(name) + "=" + std::string(name))) << name;
}

TEST(LanguageKeys, CodeLooksKeysUpThroughKeysH) {
    // A quoted key handed straight to a lookup would escape the check above.
    const std::regex literal(R"((Translate|MessageBoxKey)\s*\(\s*")");
    for (const auto& e : fs::recursive_directory_iterator(VM_APP_DIR)) {
        if (e.path().extension() != ".cpp" && e.path().extension() != ".h") continue;
        std::ifstream in(e.path());
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        EXPECT_FALSE(std::regex_search(text, literal)) << e.path();
    }
}

} // namespace
