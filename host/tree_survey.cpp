#include "host/tree_survey.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/paths.h"
#include "host/platform/file_names.h"

namespace host {

namespace fs = std::filesystem;

std::vector<MergeEntry> SurveyMerge(std::string_view source, std::string_view dest) {
    std::vector<MergeEntry> entries;
    const fs::path src = fsPath(ExcludeTrailingPathDelimiter(source));
    const fs::path dst = fsPath(ExcludeTrailingPathDelimiter(dest));
    std::error_code ec;
    if (source.empty() || !fs::is_directory(src, ec)) return entries;
    // A link back up would be walked without end: no deeper than 64 levels.
    for (fs::recursive_directory_iterator it(src,
                                             fs::directory_options::follow_directory_symlink |
                                                 fs::directory_options::skip_permission_denied,
                                             ec),
         end;
         !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        MergeEntry e;
        const fs::path rel = it->path().lexically_relative(src);
        e.path = genericPathText(rel);
        const auto size = it->file_size(fe);
        e.bytes = fe ? 0 : static_cast<std::int64_t>(size);
        e.replaces = fs::exists(fs::symlink_status(dst / rel, fe));
        entries.push_back(std::move(e));
        if (it.depth() > 64) it.disable_recursion_pending();
    }
    std::sort(entries.begin(), entries.end(),
              [](const MergeEntry& a, const MergeEntry& b) { return a.path < b.path; });
    return entries;
}

}  // namespace host
