// The manual behind F1 and Help > Contents: which page section explains a
// help context, where the pages are, and a word search over them. The pages
// are Markdown files (docs/manual in the sources, "manual/" in the program
// directory); a section is addressed by the anchor of its heading.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// One help context and the page section that explains it.
struct HelpTopic {
    int Context;
    const char* Page;   // file name in the manual folder
    const char* Anchor; // heading anchor on that page; empty: the page's top
};

// Every help context the program hands out, with its page section.
const std::vector<HelpTopic>& HelpTopics();

// The topic of a help context; an unknown context gives the contents page.
HelpTopic TopicFor(int context);

// Help contexts of windows that have none of their own in the tool table.
inline constexpr int kHelpMain = 100;          // the main window, contents
inline constexpr int kHelpWindowContext = 110; // the help window itself
inline constexpr int kHelpNewImage = 1100;     // File > New
inline constexpr int kHelpContentsPage = 0;    // Help > Contents

// The anchor of a heading line's text: an explicit "{#id}" at its end, else
// the text in lower case with blanks as "-" and other punctuation dropped
// ("Lines and curves" -> "lines-and-curves"). Sets *shown to the text
// without the explicit anchor when given.
std::string HeadingAnchor(std::string_view heading, std::string* shown = nullptr);

// The folders that hold the pages, the language's own first: the folder of
// programDir + helpFile (the language file's "HelpFile"), then the English
// manual programDir + "manual/". Only folders that exist, each with a
// trailing "/"; empty when no manual is installed.
std::vector<std::string> ManualFolders(const std::string& programDir, const std::string& helpFile);

// The file of a page: the first folder that holds it; empty when none does.
std::string FindPage(const std::vector<std::string>& folders, const std::string& page);

// A page of the manual with its title (the first heading).
struct HelpPage {
    std::string File; // file name
    std::string Title;
};

// The pages in the order the contents page links them (index.md first),
// then any other page of the folders by name.
std::vector<HelpPage> ManualPages(const std::vector<std::string>& folders);

// The pages that contain every word of query (case-insensitive), the ones
// with the most hits first; an empty query finds nothing.
std::vector<HelpPage> SearchManual(const std::vector<std::string>& folders, std::string_view query);

// The anchors of a page's headings, in order.
std::vector<std::string> PageAnchors(const std::string& pageText);

// Link targets of a page ("lines.md#curves", "images/bar-lines.png"):
// Markdown links and images, excluding web addresses.
std::vector<std::string> PageLinks(const std::string& pageText);

} // namespace kv
