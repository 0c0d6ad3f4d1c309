#include "effects/afsfile.h"

#include "platform/atomicfile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kv::ff {

namespace {

constexpr std::string_view kMagic = "%RGB-1.0";
constexpr std::string_view kNewLine = "\r\n";
// Far more than any source file holds; a bigger file is not one.
constexpr std::size_t kMaxFile = 16u << 20;

// A one-line field as it can be written: no line breaks, at most max
// characters.
std::string OneLine(std::string text, std::size_t max) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (text.size() > max) text.resize(max);
    return text;
}

std::vector<std::string_view> MemoLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        if (!line.empty()) lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + (text.substr(end, 2) == "\r\n" ? 2 : 1));
    }
    return lines;
}

void AppendExpression(std::string& out, std::string_view text) {
    const std::vector<std::string_view> lines = MemoLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        const char last = lines[i].back();
        if (i + 1 < lines.size() && last != ' ' && last != '\t') out += ' ';
        out += kNewLine;
    }
    out += kNewLine;
}

// The lines of a source file as the reader sees them.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> Next() {
        if (pos_ >= text_.size()) return std::nullopt;
        const std::string_view rest = text_.substr(pos_);
        // A long line is searched for its end once, not once per piece.
        if (lineEnd_ == kUnknown || lineEnd_ < pos_)
            lineEnd_ = std::min(text_.find_first_of("\r\n", pos_), text_.size());
        const std::size_t end = lineEnd_ - pos_;
        if (end > std::size_t(kMaxLine)) {
            pos_ += kMaxLine;
            return rest.substr(0, kMaxLine);
        }
        pos_ += end;
        if (pos_ < text_.size()) pos_ += text_.substr(pos_, 2) == "\r\n" ? 2 : 1;
        return rest.substr(0, end);
    }
    std::string Field() { return std::string(Next().value_or("")); }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    static constexpr std::size_t kUnknown = std::string_view::npos;
    std::size_t lineEnd_ = kUnknown;
};

// Exactly one decimal integer, optionally signed; the slider's range holds.
std::optional<std::int32_t> SliderValue(std::string_view line) {
    std::size_t i = 0;
    const bool negative = !line.empty() && line[0] == '-';
    if (!line.empty() && (line[0] == '-' || line[0] == '+')) i = 1;
    if (i == line.size()) return std::nullopt;
    std::int64_t v = 0;
    for (; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9') return std::nullopt;
        v = std::min<std::int64_t>(v * 10 + (line[i] - '0'), 1000);
    }
    return std::int32_t(std::clamp<std::int64_t>(negative ? -v : v, 0, 255));
}

} // namespace

std::string EncodeAfs(const Definition& d) {
    std::string out;
    out += kMagic;
    out += kNewLine;
    for (std::int32_t v : d.Sliders) out += std::to_string(v) + std::string(kNewLine);
    for (const std::string& e : d.Expressions) AppendExpression(out, e);
    for (const std::string* field : {&d.Category, &d.Title, &d.Author, &d.Copyright}) {
        out += OneLine(*field, kMaxLine);
        out += kNewLine;
        out += kNewLine;
    }
    for (int n = 1; n <= kSliders; ++n) {
        const std::string line = std::to_string(n) + ": " + d.Captions[std::size_t(n - 1)];
        out += OneLine(line, kMaxLine);
        out += kNewLine;
        out += kNewLine;
    }
    return out;
}

std::optional<Definition> DecodeAfs(std::string_view text) {
    LineReader in(text);
    if (in.Next() != kMagic) return std::nullopt;
    Definition d;
    for (std::int32_t& slider : d.Sliders) {
        const std::optional<std::string_view> line = in.Next();
        const std::optional<std::int32_t> value = line ? SliderValue(*line) : std::nullopt;
        if (!value) return std::nullopt;
        slider = *value;
    }
    for (std::string& e : d.Expressions) {
        e.clear();
        for (std::optional<std::string_view> line = in.Next(); line && !line->empty();
             line = in.Next())
            e += *line;
    }
    d.Category = in.Field();
    for (std::string* field : {&d.Title, &d.Author, &d.Copyright}) {
        in.Next();
        *field = in.Field();
    }
    for (std::string& caption : d.Captions) {
        in.Next();
        const std::optional<std::string_view> line = in.Next();
        if (!line) continue;
        const std::size_t colon = line->find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        std::string_view rest = line->substr(colon + 1);
        while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.remove_prefix(1);
        caption = std::string(rest);
    }
    return d;
}

AfsError ReadAfsFile(const std::string& path, Definition& definition) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return AfsError::CantOpen;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return AfsError::CantOpen;
    const std::streamoff size = file.tellg();
    if (size < 0) return AfsError::CantOpen;
    if (std::size_t(size) > kMaxFile) return AfsError::NotValid;
    std::string text(std::size_t(size), '\0');
    file.seekg(0);
    if (!file.read(text.data(), size)) return AfsError::CantOpen;
    std::optional<Definition> read = DecodeAfs(text);
    if (!read) return AfsError::NotValid;
    definition = std::move(*read);
    return AfsError::None;
}

bool WriteAfsFile(const std::string& path, const Definition& definition) {
    const std::string text = EncodeAfs(definition);
    return WriteFileAtomically(path, text.data(), text.size());
}

} // namespace kv::ff
