#include "effects/ffmake.h"

#include "effects/ffcompile.h"
#include "effects/ffpayload.h"
#include "platform/atomicfile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace kv::ff {

namespace fs = std::filesystem;

namespace {

// Far more than the template takes.
constexpr std::uintmax_t kMaxTemplate = 64u << 20;

std::optional<std::vector<std::uint8_t>> ReadTemplate(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxTemplate) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size))) return std::nullopt;
    return bytes;
}

// The offset of the one reserved area; nothing when there is none, or more
// than one, or it is cut short.
std::optional<std::size_t> FindArea(const std::vector<std::uint8_t>& bytes) {
    const auto tag = std::begin(kPayloadTag), tagEnd = std::end(kPayloadTag);
    const auto first = std::search(bytes.begin(), bytes.end(), tag, tagEnd);
    if (first == bytes.end() || std::search(first + 1, bytes.end(), tag, tagEnd) != bytes.end())
        return std::nullopt;
    const auto at = static_cast<std::size_t>(first - bytes.begin());
    if (bytes.size() - at < kPayloadBytes) return std::nullopt;
    return at;
}

} // namespace

std::optional<std::vector<std::uint8_t>> EncodePayload(const Definition& d) {
    Definition run = d;
    run.Expressions[3].clear(); // the alpha block is never run
    const std::string text = EncodeAfs(run);
    if (text.size() > kPayloadBytes - kPayloadHeadBytes) return std::nullopt;
    std::vector<std::uint8_t> area(kPayloadBytes, 0);
    std::copy(std::begin(kPayloadTag), std::end(kPayloadTag), area.begin());
    const auto length = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        area[kPayloadTagBytes + std::size_t(i)] = std::uint8_t(length >> 8 * i);
    std::copy(text.begin(), text.end(), area.begin() + kPayloadHeadBytes);
    return area;
}

MakeError CheckDefinition(const Definition& d) {
    for (int c = 0; c < 3; ++c)
        if (!Compile(d.Expressions[std::size_t(c)], c).Ok) return MakeError::Syntax;
    return EncodePayload(d) ? MakeError::None : MakeError::TooBig;
}

MakeError MakeComponent(const std::string& templatePath, const std::string& path, Definition d) {
    if (const MakeError e = CheckDefinition(d); e != MakeError::None) return e;
    if (d.Title.empty()) d.Title = fs::path(path).stem().string();
    const std::optional<std::vector<std::uint8_t>> area = EncodePayload(d);
    if (!area) return MakeError::TooBig;
    std::optional<std::vector<std::uint8_t>> bytes = ReadTemplate(templatePath);
    const std::optional<std::size_t> at = bytes ? FindArea(*bytes) : std::nullopt;
    if (!at) return MakeError::NoTemplate;
    std::copy(area->begin(), area->end(), bytes->begin() + std::ptrdiff_t(*at));
    return WriteFileAtomically(path, bytes->data(), bytes->size()) ? MakeError::None
                                                                   : MakeError::CantSave;
}

std::string MakeFolder(const std::vector<std::string>& roots) {
    std::error_code error;
    if (roots.empty()) return ".";
    if (roots.size() == 1 ||
        (fs::is_directory(roots[0], error) && ::access(roots[0].c_str(), W_OK) == 0))
        return roots[0];
    fs::create_directories(roots[1], error);
    return roots[1];
}

} // namespace kv::ff
