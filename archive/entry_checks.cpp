#include "archive/entry_checks.h"

#include <algorithm>

#include "core/byte_cursor.h"

namespace archive {

namespace {

constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kInfoZipUnicodePathId = 0x7075;

// APPNOTE 4.5.3: in a local header the ZIP64 block holds the uncompressed size, then the
// compressed size, for the fields that are 0xFFFFFFFF.
void applyZip64Sizes(std::string_view extra, std::uint64_t& uncompressed,
                     std::uint64_t& compressed) {
    forEachExtraBlock(extra, [&](std::uint16_t id, std::string_view data) {
        if (id != kZip64ExtraId) return;
        core::ByteCursor c(data.data(), data.size());
        if (uncompressed == kZip64Marker && c.remaining() >= 8) uncompressed = c.u64le();
        if (compressed == kZip64Marker && c.remaining() >= 8) compressed = c.u64le();
    });
}

bool sameName(const LocalHeader& local, std::string_view localName, std::string_view localExtra,
              const CentralHeader& central, const NameCodePages& pages) {
    if (localName == central.rawName) return true;
    CentralHeader asLocal;
    asLocal.versionMadeBy = central.versionMadeBy;
    asLocal.flags = local.flags;
    asLocal.rawName = std::string(localName);
    asLocal.extra = std::string(localExtra);
    const std::string centralName = decodeEntryName(central, pages);
    if (decodeEntryName(asLocal, pages) == centralName) return true;
    // An Info-ZIP Unicode path (version 1, CRC-32, UTF-8 text) that names the entry counts even
    // when its CRC-32 was taken over the central name instead of the local one.
    bool named = false;
    forEachExtraBlock(localExtra, [&](std::uint16_t id, std::string_view data) {
        if (id == kInfoZipUnicodePathId && data.size() > 5 && data[0] == 1)
            named |= data.substr(5) == centralName;
    });
    return named;
}

}  // namespace

const char* localHeaderMismatch(const LocalHeader& local, std::string_view localName,
                                std::string_view localExtra, const CentralHeader& central,
                                const NameCodePages& pages) {
    if (!sameName(local, localName, localExtra, central, pages))
        return "the local header names another entry";
    if (local.method != central.method) return "the local header gives another method";
    if (local.sizesFollowData()) return nullptr;
    std::uint64_t uncompressed = local.uncompressedSize;
    std::uint64_t compressed = local.compressedSize;
    if (uncompressed == kZip64Marker || compressed == kZip64Marker)
        applyZip64Sizes(localExtra, uncompressed, compressed);
    if (uncompressed != central.uncompressedSize || compressed != central.compressedSize)
        return "the local header gives other sizes";
    return nullptr;
}

std::vector<bool> overlappingSpans(std::span<const EntrySpan> spans, std::uint64_t limit) {
    std::vector<bool> marked(spans.size(), false);
    std::vector<std::uint32_t> order;
    order.reserve(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (spans[i].end > spans[i].start) order.push_back(static_cast<std::uint32_t>(i));
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return spans[a].start != spans[b].start ? spans[a].start < spans[b].start : a < b;
    });
    // Sweep in order of start: a span overlaps an earlier one exactly when it starts before the
    // furthest end seen so far, and the span that reaches furthest is one it overlaps.
    const std::uint32_t none = static_cast<std::uint32_t>(spans.size());
    std::uint32_t furthest = none;
    for (std::uint32_t i : order) {
        if (spans[i].end > limit) marked[i] = true;
        if (furthest != none && spans[i].start < spans[furthest].end) {
            marked[i] = true;
            marked[furthest] = true;
        }
        if (furthest == none || spans[i].end > spans[furthest].end) furthest = i;
    }
    return marked;
}

}  // namespace archive
