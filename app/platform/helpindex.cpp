#include "platform/helpindex.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace kv {

namespace fs = std::filesystem;

const std::vector<HelpTopic>& HelpTopics() {
    static const std::vector<HelpTopic> topics = {
        {kHelpContentsPage, "index.md", ""},
        {kHelpMain, "index.md", ""},
        {kHelpWindowContext, "index.md", "using-the-help-window"},
        {1000, "colors.md", "the-color-dialog"},
        {kHelpNewImage, "files.md", "new-image"},
        {1200, "brush.md", "halve-double-stretch-and-mirror"},
        {1205, "brush.md", "rotate-bend-and-shear"},
        {1210, "brush.md", "outline-and-drop-shadow"},
        {1300, "images.md", "stretch-or-mirror-the-image"},
        {1305, "images.md", "rotate-the-image"},
        {1310, "custom-filter.md", "the-custom-filter-dialog"},
        {1320, "effects.md", ""},
        {1510, "preferences.md", ""},
        {2000, "brush.md", "sizing-the-built-in-brush"},
        {2100, "pens.md", ""},
        {2200, "lines.md", "lines"},
        {2300, "lines.md", "curves"},
        {2400, "shapes.md", "rectangles-and-squares"},
        {2500, "shapes.md", "circles-and-ellipses"},
        {2600, "fills.md", "filled-shape-and-filled-polygon"},
        {2700, "clone.md", ""},
        {2800, "fills.md", "solid-fill-and-pattern-fill"},
        {2900, "spray.md", ""},
        {3000, "brush.md", "cutting-a-brush"},
        {3100, "text.md", ""},
        {3200, "colors.md", "get-color"},
        {3300, "colors.md", "change-color"},
        {3400, "grid.md", ""},
        {3600, "undo.md", ""},
        {3700, "undo.md", "clear-image"},
        {4000, "custom-filter.md", ""},
        {5000, "filter-factory.md", "the-filter-factory-dialog"},
    };
    return topics;
}

HelpTopic TopicFor(int context) {
    for (const HelpTopic& t : HelpTopics())
        if (t.Context == context) return t;
    return HelpTopics().front();
}

std::string HeadingAnchor(std::string_view heading, std::string* shown) {
    std::string_view text = heading;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const auto open = text.rfind("{#");
    if (open != std::string_view::npos && text.back() == '}') {
        const std::string id(text.substr(open + 2, text.size() - open - 3));
        text = text.substr(0, open);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        if (shown != nullptr) *shown = std::string(text);
        return id;
    }
    if (shown != nullptr) *shown = std::string(text);
    std::string id;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || u >= 0x80 || c == '-' || c == '_')
            id += static_cast<char>(std::tolower(u));
        else if (c == ' ')
            id += '-';
    }
    return id;
}

std::vector<std::string> ManualFolders(const std::string& programDir, const std::string& helpFile) {
    std::vector<std::string> folders;
    auto add = [&folders](const fs::path& dir) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) return;
        std::string s = fs::weakly_canonical(dir, ec).string();
        if (ec) s = dir.string();
        if (s.empty() || s.back() != '/') s += '/';
        if (std::find(folders.begin(), folders.end(), s) == folders.end()) folders.push_back(s);
    };
    if (!helpFile.empty()) add(fs::path(programDir + helpFile).parent_path());
    add(fs::path(programDir + "manual"));
    return folders;
}

std::string FindPage(const std::vector<std::string>& folders, const std::string& page) {
    for (const std::string& dir : folders) {
        std::error_code ec;
        if (fs::is_regular_file(dir + page, ec)) return dir + page;
    }
    return {};
}

namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text of the first "# " heading, else the file name.
std::string TitleOf(const std::string& text, const std::string& file) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("# ", 0) == 0) {
            std::string shown;
            HeadingAnchor(std::string_view(line).substr(2), &shown);
            return shown;
        }
    return file;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int CountOf(const std::string& text, const std::string& word) {
    int n = 0;
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

} // namespace

std::vector<HelpPage> ManualPages(const std::vector<std::string>& folders) {
    std::vector<std::string> names;
    auto add = [&names](const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    };
    add("index.md");
    const std::string index = FindPage(folders, "index.md");
    if (!index.empty())
        for (const std::string& link : PageLinks(ReadAll(index))) {
            const std::string page = link.substr(0, link.find('#'));
            if (page.size() > 3 && page.ends_with(".md") && page.find('/') == std::string::npos)
                add(page);
        }
    std::vector<std::string> rest;
    for (const std::string& dir : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec))
            if (entry.path().extension() == ".md") rest.push_back(entry.path().filename().string());
    }
    std::sort(rest.begin(), rest.end());
    for (const std::string& name : rest) add(name);

    std::vector<HelpPage> pages;
    for (const std::string& name : names) {
        const std::string file = FindPage(folders, name);
        if (!file.empty()) pages.push_back({name, TitleOf(ReadAll(file), name)});
    }
    return pages;
}

std::vector<HelpPage> SearchManual(const std::vector<std::string>& folders,
                                   std::string_view query) {
    std::vector<std::string> words;
    std::istringstream in{Lower(std::string(query))};
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty()) return {};
    std::vector<std::pair<int, HelpPage>> hits;
    for (const HelpPage& page : ManualPages(folders)) {
        const std::string text = Lower(ReadAll(FindPage(folders, page.File)));
        int total = 0;
        for (const std::string& w : words) {
            const int n = CountOf(text, w);
            if (n == 0) {
                total = 0;
                break;
            }
            total += n;
        }
        if (total > 0) hits.emplace_back(total, page);
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<HelpPage> pages;
    for (auto& hit : hits) pages.push_back(std::move(hit.second));
    return pages;
}

std::vector<std::string> PageAnchors(const std::string& pageText) {
    std::vector<std::string> anchors;
    std::istringstream lines(pageText);
    bool fence = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("```", 0) == 0) fence = !fence;
        if (fence || line.empty() || line[0] != '#') continue;
        const auto text = line.find_first_not_of('#');
        if (text == std::string::npos || line[text] != ' ') continue;
        anchors.push_back(HeadingAnchor(std::string_view(line).substr(text + 1)));
    }
    return anchors;
}

std::vector<std::string> PageLinks(const std::string& pageText) {
    static const std::regex link(R"(\]\(([^)\s]+)\))");
    std::vector<std::string> links;
    for (std::sregex_iterator it(pageText.begin(), pageText.end(), link), end; it != end; ++it) {
        const std::string target = (*it)[1];
        if (target.find("://") == std::string::npos && target.rfind("mailto:", 0) != 0)
            links.push_back(target);
    }
    return links;
}

} // namespace kv
