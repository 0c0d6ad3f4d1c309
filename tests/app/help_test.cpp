// The manual behind F1: every help context the program hands out leads to
// a section that exists, every link of the manual resolves, and pages a
// language lacks come from the English manual.
#include "platform/helpindex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kManual = fs::path(VM_APP_DIR) / ".." / "docs" / "manual";

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool HasSection(const std::string& page, const std::string& anchor) {
    const std::string text = ReadText(kManual / page);
    if (text.empty()) return false;
    if (anchor.empty()) return true;
    const auto anchors = kv::PageAnchors(text);
    return std::find(anchors.begin(), anchors.end(), anchor) != anchors.end();
}

// Help contexts written into the program's sources: tool objects
// ("HelpContext = 2200;"), dialogs ("kHelpContext = 1310;") and windows
// that set the property with a number.
std::set<int> ContextsInSources() {
    const std::regex assigned(R"(HelpContext\s*=\s*(\d+))");
    const std::regex property(R"("HelpContext",\s*(\d+))");
    std::set<int> found;
    for (const auto& e : fs::recursive_directory_iterator(VM_APP_DIR)) {
        if (e.path().extension() != ".cpp" && e.path().extension() != ".h") continue;
        const std::string text = ReadText(e.path());
        for (const std::regex* re : {&assigned, &property})
            for (std::sregex_iterator it(text.begin(), text.end(), *re), end; it != end; ++it)
                found.insert(std::stoi((*it)[1]));
    }
    return found;
}

TEST(HelpIndex, EveryTopicAndEveryContextInTheSourcesHasASection) {
    std::set<int> mapped;
    for (const kv::HelpTopic& t : kv::HelpTopics()) {
        mapped.insert(t.Context);
        EXPECT_TRUE(HasSection(t.Page, t.Anchor))
            << t.Context << " -> " << t.Page << "#" << t.Anchor;
    }
    const std::set<int> used = ContextsInSources();
    EXPECT_GE(used.size(), 15u) << "the scan no longer finds the tools' contexts";
    for (int context : used) EXPECT_TRUE(mapped.count(context)) << context << " has no page";
}

TEST(HelpIndex, EveryPageLinkResolvesAndEveryPageIsInTheContents) {
    const std::vector<kv::HelpPage> listed = kv::ManualPages({kManual.string() + "/"});
    std::set<std::string> pages;
    for (const auto& e : fs::directory_iterator(kManual)) {
        if (e.path().extension() != ".md") continue;
        pages.insert(e.path().filename().string());
        for (const std::string& link : kv::PageLinks(ReadText(e.path()))) {
            if (link.rfind("images/", 0) == 0) continue; // produced by the GUI tests
            const auto hash = link.find('#');
            const std::string page =
                hash == 0 ? e.path().filename().string() : link.substr(0, hash);
            const std::string anchor = hash == std::string::npos ? "" : link.substr(hash + 1);
            EXPECT_TRUE(HasSection(page, anchor)) << e.path().filename() << ": " << link;
        }
    }
    std::set<std::string> linked = {"index.md"};
    for (const std::string& link : kv::PageLinks(ReadText(kManual / "index.md")))
        linked.insert(link.substr(0, link.find('#')));
    for (const std::string& page : pages)
        EXPECT_TRUE(linked.count(page)) << page << " not in index.md";
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.front().File, "index.md");
    for (const kv::HelpPage& p : listed) EXPECT_NE(p.Title, p.File) << p.File << " has no title";
}

TEST(HelpIndex, HeadingAnchors) {
    const struct {
        const char* Heading;
        const char* Anchor;
        const char* Shown;
    } cases[] = {
        {"Lines and curves", "lines-and-curves", "Lines and curves"},
        {"Undo, redo and Clear Image", "undo-redo-and-clear-image", "Undo, redo and Clear Image"},
        {"The color dialog  ", "the-color-dialog", "The color dialog"},
        {"Größe & Farbe", "größe--farbe", "Größe & Farbe"},
        {"Linien {#lines}", "lines", "Linien"},
    };
    for (const auto& c : cases) {
        std::string shown;
        EXPECT_EQ(kv::HeadingAnchor(c.Heading, &shown), c.Anchor) << c.Heading;
        EXPECT_EQ(shown, c.Shown);
    }
    EXPECT_EQ(kv::PageAnchors("# A\n```\n# not a heading\n```\n## B {#b2}\n#hashtag\n"),
              (std::vector<std::string>{"a", "b2"}));
}

TEST(HelpIndex, LanguageFolderFirstEnglishForMissingPagesAndSearch) {
    const fs::path dir = fs::temp_directory_path() / "kv_help_test";
    fs::remove_all(dir);
    fs::create_directories(dir / "manual" / "de");
    std::ofstream(dir / "manual" / "index.md") << "# Contents\n[B](b.md) [A](a.md)\n";
    std::ofstream(dir / "manual" / "a.md") << "# Alpha\nbrush brush line\n";
    std::ofstream(dir / "manual" / "b.md") << "# Beta\nbrush fill\n";
    std::ofstream(dir / "manual" / "de" / "a.md") << "# Alpha (de)\nPinsel\n";
    const std::string prog = dir.string() + "/";

    const auto folders = kv::ManualFolders(prog, "manual/de/index.md");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(kv::FindPage(folders, "a.md"), folders[0] + "a.md");
    EXPECT_EQ(kv::FindPage(folders, "b.md"), folders[1] + "b.md");
    EXPECT_EQ(kv::FindPage(folders, "c.md"), "");
    // A language whose folder does not exist reads the English manual.
    EXPECT_EQ(kv::ManualFolders(prog, "manual/fr/index.md").size(), 1u);
    EXPECT_TRUE(kv::ManualFolders(prog + "nowhere/", "").empty());

    const auto english = kv::ManualFolders(prog, "manual/index.md");
    std::vector<std::string> order;
    for (const auto& p : kv::ManualPages(english)) order.push_back(p.File + ":" + p.Title);
    EXPECT_EQ(order, (std::vector<std::string>{"index.md:Contents", "b.md:Beta", "a.md:Alpha"}));

    auto files = [&](const char* query) {
        std::vector<std::string> f;
        for (const auto& p : kv::SearchManual(english, query)) f.push_back(p.File);
        return f;
    };
    EXPECT_EQ(files("BRUSH"), (std::vector<std::string>{"a.md", "b.md"})); // most hits first
    EXPECT_EQ(files("brush fill"), (std::vector<std::string>{"b.md"}));    // every word
    EXPECT_TRUE(files("  ").empty());
    fs::remove_all(dir);
}

} // namespace
