// What a merge of one folder into another would do, found without changing anything: each file
// below the source and whether the destination already has something in its place. The plan
// shows it before an update and the run report records it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct MergeEntry {
    std::string path;  // below the source, "/" between folders
    std::int64_t bytes = 0;
    bool replaces = false;  // the destination has a file (or a link) of that path
};

// The regular files below `source` (links followed, as the copy follows them), sorted by path.
// Unreadable parts are left out; a missing source gives nothing.
std::vector<MergeEntry> SurveyMerge(std::string_view source, std::string_view dest);

}  // namespace host
