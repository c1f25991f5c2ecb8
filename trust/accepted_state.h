// The installation's memory of the newest release it accepted: the file "qlupdate.state" in the
// installation folder, one line "SEQ|<n>" (the version file's line form). An accepted version
// file with a lower SEQ is an old release replayed, or a mirror frozen in the past.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/result.h"
#include "trust/refusal.h"

namespace trust {

inline constexpr std::string_view kStateFileName = "qlupdate.state";

std::string stateFileName(std::string_view installPath);
// Nothing when the file does not exist (no release accepted yet). A file that is there but
// cannot be read or holds no valid SEQ line is an error: the updater does not forget what it
// accepted because a file was damaged.
core::Result<std::optional<std::uint64_t>, TrustError> readAcceptedSeq(
    std::string_view installPath);
// Replaces the file in one step (a new file renamed over the old one), so that it always holds
// either the old or the new number.
core::Result<void, TrustError> saveAcceptedSeq(std::string_view installPath, std::uint64_t seq);

}  // namespace trust
