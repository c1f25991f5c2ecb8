#include "net/response_head.h"

#include <limits>

#include "core/text.h"
#include "net/line_splitter.h"

namespace net {

namespace {

// A header line "Name: value": the name before the first ":", the value trimmed.
bool headerIs(std::string_view line, std::string_view name, std::string* valueOut) {
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    if (!core::equalsNoCaseAscii(core::Trim(line.substr(0, colon)), name)) return false;
    *valueOut = core::Trim(line.substr(colon + 1));
    return true;
}

std::optional<std::int64_t> parseDecimal(std::string_view s) {
    if (s.empty() || s.size() > 19) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        if (v > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

int parseStatusCode(std::string_view statusLine) {
    auto sp = statusLine.find(' ');
    if (sp == std::string_view::npos) return -1;
    std::string_view rest = statusLine.substr(sp + 1);
    auto v = parseDecimal(rest.substr(0, rest.find(' ')));
    if (!v || *v > std::numeric_limits<int>::max()) return -1;
    return static_cast<int>(*v);
}

std::optional<std::string> ResponseHead::value(std::string_view name) const {
    std::string v;
    for (const auto& line : rawHeaders)
        if (headerIs(line, name, &v)) return v;
    return std::nullopt;
}

std::vector<std::string> ResponseHead::values(std::string_view name) const {
    std::vector<std::string> out;
    std::string v;
    for (const auto& line : rawHeaders)
        if (headerIs(line, name, &v)) out.push_back(v);
    return out;
}

std::int64_t ResponseHead::contentLength() const {
    auto v = value("Content-Length");
    if (!v) return -1;
    return parseDecimal(*v).value_or(-1);
}

std::string ResponseHead::charSet() const {
    std::string type = contentType();
    std::string rest = type;
    core::SplitAt(rest, ';');
    while (!rest.empty()) {
        std::string param = core::SplitAt(rest, ';');
        std::string name = core::Trim(core::SplitAt(param, '='));
        if (core::equalsNoCaseAscii(name, "charset")) {
            std::string v = core::Trim(param);
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    if (core::asciiLower(core::Trim(type)).starts_with("text")) return "ISO-8859-1";
    return "";
}

bool ResponseHead::isHttp10() const {
    return statusLine.starts_with("HTTP/1.0");
}

// Reads whole lines while there are any; a head ends at its first empty line.
core::Result<std::size_t, HttpFailure> HeadParser::feed(std::span<const std::byte> in) {
    std::size_t used = 0;
    while (m_state != State::Done) {
        auto line = nextLine(in.subspan(used));
        if (!line) {
            HttpFailure f = line.error();
            f.offset = m_bytes;
            return core::fail(f);
        }
        if (!*line) break;
        const Line& l = **line;
        if (m_bytes + l.consumed > kMaxHeadBytes)
            return core::fail(HttpFailure{HttpErrorKind::HeadTooLarge, {}, m_bytes});
        used += l.consumed;
        m_bytes += l.consumed;
        if (m_state == State::StatusLine) {
            m_head.statusLine = std::string(l.text);
            m_head.statusCode = parseStatusCode(l.text);
            m_state = State::Headers;
        } else if (l.text.empty()) {
            m_state = State::Done;
        } else if (m_head.rawHeaders.size() == kMaxHeaderLines) {
            return core::fail(HttpFailure{HttpErrorKind::TooManyHeaders, {}, m_bytes});
        } else {
            m_head.rawHeaders.emplace_back(l.text);
        }
    }
    return used;
}

core::Result<void, HttpFailure> HeadParser::finish() const {
    if (m_state == State::Done) return core::Ok{};
    return core::fail(HttpFailure{HttpErrorKind::ClosedEarly, {}, m_bytes});
}

}  // namespace net
