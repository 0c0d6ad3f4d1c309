// The link state of an image format: each format of the file registry has
// a list of extensions ("*.JPG;*.JPEG"), and the preferences dialog shows
// it ticked when all of them are linked to kv, greyed when some are and
// unticked when none is.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv {

enum class LinkState { None, Some, All };

// ".JPG", ".JPEG" from "*.JPG;*.JPEG": each pattern without its first
// character; an empty pattern ends the list.
std::vector<std::string> ExtensionsOf(const std::string& mask);

LinkState FormatLinkState(const std::string& mask,
                          const std::function<bool(const std::string&)>& isLinked);

// Applies a changed state on Ok: All links every extension, None unlinks
// every one, Some changes nothing. Nothing happens when the state is the
// one the format had at opening.
void ApplyLinkState(const std::string& mask, LinkState initial, LinkState chosen,
                    const std::function<void(const std::string&)>& link,
                    const std::function<void(const std::string&)>& unlink);

} // namespace kv
