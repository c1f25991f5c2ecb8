#include "host/platform/text.h"

#include <algorithm>

#include "core/oem_codepages.h"

namespace host {

namespace {

// The rank of a byte in the order: "." < digits < letters (case folded); other ASCII before
// the dot, bytes beyond ASCII after the letters.
int rank(unsigned char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return 100 + c;
    if (c >= 'a' && c <= 'z') return 300 + c;
    return c < 0x80 ? -256 + c : 512 + c;
}

}  // namespace

int systemAnsiCodePage() {
    return core::kAnsiCodePage;
}

int systemOemCodePage() {
    return core::kOemCodePage;
}

int compareNamesNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d =
            rank(static_cast<unsigned char>(a[i])) - rank(static_cast<unsigned char>(b[i]));
        if (d != 0) return d < 0 ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace host
