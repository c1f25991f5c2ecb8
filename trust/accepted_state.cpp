#include "trust/accepted_state.h"

#include <filesystem>
#include <fstream>

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
    const auto status = std::filesystem::symlink_status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return std::optional<std::uint64_t>{};
    if (ec || status.type() != std::filesystem::file_type::regular)
        return core::fail(unreadable(file));
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxStateBytes) + 1, '\0');
    in.read(text.data(), kMaxStateBytes + 1);
    if (in.bad() || in.gcount() > kMaxStateBytes) return core::fail(unreadable(file));
    text.resize(static_cast<std::size_t>(in.gcount()));
    auto fields = readReleaseFields(text);
    if (!fields || !fields->seq) return core::fail(unreadable(file));
    return std::optional<std::uint64_t>(*fields->seq);
}

core::Result<void, TrustError> saveAcceptedSeq(std::string_view installPath, std::uint64_t seq) {
    const std::string file = stateFileName(installPath);
    const std::string fresh = file + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << "SEQ|" << seq << "\r\n";
        out.close();
        if (!out) {
            host::removeFileQuietly(fresh);
            return core::fail(TrustError{Refusal::StateNotSaved, file});
        }
    }
    if (host::flushFileSystemOf(fresh) || host::renameOver(fresh, file)) {
        host::removeFileQuietly(fresh);
        return core::fail(TrustError{Refusal::StateNotSaved, file});
    }
    return core::Ok{};
}

}  // namespace trust
