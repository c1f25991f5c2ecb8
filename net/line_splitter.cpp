#include "net/line_splitter.h"

#include "core/byte_cursor.h"

namespace net {

core::Result<std::optional<Line>, HttpFailure> nextLine(std::span<const std::byte> in) {
    // The longest acceptable line is kMaxLineLength characters, a CR and the LF.
    const std::size_t window = std::min(in.size(), kMaxLineLength + 2);
    core::ByteCursor cur(in.first(window));
    std::string_view text = cur.readUntil(std::byte{'\n'});
    if (!cur.ok()) {
        if (window == kMaxLineLength + 2)
            return core::fail(HttpFailure{HttpErrorKind::LineTooLong, {}, 0});
        return std::optional<Line>{};
    }
    const std::size_t consumed = cur.offset();
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.size() > kMaxLineLength)
        return core::fail(HttpFailure{HttpErrorKind::LineTooLong, {}, 0});
    return std::optional<Line>{Line{text, consumed}};
}

}  // namespace net
