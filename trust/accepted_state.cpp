#include "trust/accepted_state.h"

#include <filesystem>

#include "host/platform.h"
#include "trust/version_file.h"

namespace trust {
namespace {

// The state file is one short line; a larger one is not ours.
constexpr std::streamsize kMaxStateBytes = 4096;

TrustError unreadable(const std::string& file) {
    return {Refusal::StateUnreadable, file};
}

}  // namespace

std::string stateFileName(std::string_view installPath) {
    return std::string(installPath) + std::string(kStateFileName);
}

core::Result<std::optional<std::uint64_t>, TrustError> readAcceptedSeq(
    std::string_view installPath) {
    const std::string file = stateFileName(installPath);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(host::fsPath(file), ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return std::optional<std::uint64_t>{};
    if (ec || status.type() != std::filesystem::file_type::regular)
        return core::fail(unreadable(file));
    const std::optional<std::string> text =
        host::readWholeFile(file, static_cast<std::size_t>(kMaxStateBytes) + 1);
    if (!text || text->size() > static_cast<std::size_t>(kMaxStateBytes))
        return core::fail(unreadable(file));
    auto fields = readReleaseFields(*text);
    if (!fields || !fields->seq) return core::fail(unreadable(file));
    return std::optional<std::uint64_t>(*fields->seq);
}

core::Result<void, TrustError> saveAcceptedSeq(std::string_view installPath, std::uint64_t seq) {
    const std::string file = stateFileName(installPath);
    const std::string fresh = file + ".new";
    if (!host::writeWholeFile(fresh, "SEQ|" + std::to_string(seq) + "\r\n")) {
        host::removeFileQuietly(fresh);
        return core::fail(TrustError{Refusal::StateNotSaved, file});
    }
    if (host::flushFileSystemOf(fresh) || host::renameOver(fresh, file)) {
        host::removeFileQuietly(fresh);
        return core::fail(TrustError{Refusal::StateNotSaved, file});
    }
    return core::Ok{};
}

}  // namespace trust
