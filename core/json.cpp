#include "core/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/byte_cursor.h"
#include "core/text.h"

namespace core::json {

// ---- Value -------------------------------------------------------------------------------

bool Value::asBool(bool fallback) const {
    const bool* b = std::get_if<bool>(&m_v);
    return b ? *b : fallback;
}

std::int64_t Value::asInt(std::int64_t fallback) const {
    if (const auto* i = std::get_if<std::int64_t>(&m_v)) return *i;
    if (const auto* d = std::get_if<double>(&m_v)) {
        // 2^63 is the first double beyond int64's range.
        if (std::trunc(*d) == *d && *d >= -9223372036854775808.0 && *d < 9223372036854775808.0)
            return static_cast<std::int64_t>(*d);
    }
    return fallback;
}

double Value::asReal(double fallback) const {
    if (const auto* d = std::get_if<double>(&m_v)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&m_v)) return static_cast<double>(*i);
    return fallback;
}

const std::string& Value::asString() const {
    static const std::string kEmpty;
    const auto* s = std::get_if<std::string>(&m_v);
    return s ? *s : kEmpty;
}

const Array& Value::items() const {
    static const Array kEmpty;
    const auto* a = std::get_if<Array>(&m_v);
    return a ? *a : kEmpty;
}

const Object& Value::members() const {
    static const Object kEmpty;
    const auto* o = std::get_if<Object>(&m_v);
    return o ? *o : kEmpty;
}

const Value* Value::find(std::string_view key) const {
    for (const auto& [name, value] : members())
        if (name == key) return &value;
    return nullptr;
}

const Value& Value::operator[](std::string_view key) const {
    static const Value kNull;
    const Value* v = find(key);
    return v ? *v : kNull;
}

Value& Value::set(std::string_view key, Value v) {
    if (isNull()) m_v = Object{};
    Object& o = std::get<Object>(m_v);
    for (auto& [name, value] : o)
        if (name == key) return value = std::move(v);
    o.emplace_back(std::string(key), std::move(v));
    return o.back().second;
}

Value& Value::push(Value v) {
    if (isNull()) m_v = Array{};
    Array& a = std::get<Array>(m_v);
    a.push_back(std::move(v));
    return a.back();
}

std::string JsonError::text() const {
    return "offset " + std::to_string(offset) + ": " + message;
}

// ---- Reader ------------------------------------------------------------------------------
//
// Recursive descent over RFC 8259's grammar:
//   value  = object / array / string / number / "true" / "false" / "null"
//   object = "{" [ member *( "," member ) ] "}"      member = string ":" value
//   array  = "[" [ value *( "," value ) ] "]"
// with white space (space, tab, LF, CR) allowed around every token. The depth of nesting is
// counted so that hostile input cannot exhaust the stack.

namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : m_text(text), m_c(text.data(), text.size()) {}

    Result<Value, JsonError> document() {
        Value v = value(0);
        if (m_failed) return fail(m_error);
        skipBlanks();
        if (!m_c.atEnd()) return fail(JsonError{m_c.offset(), "text after the value"});
        return v;
    }

  private:
    void error(std::size_t at, std::string message) {
        if (m_failed) return;
        m_failed = true;
        m_error = {at, std::move(message)};
    }

    int peek() const {
        const auto b = m_c.peek();
        return b ? *b : -1;
    }
    void skipBlanks() {
        for (int b = peek(); b == ' ' || b == '\t' || b == '\n' || b == '\r'; b = peek())
            (void)m_c.u8();
    }
    // Consumes `word` exactly.
    bool literal(std::string_view word) {
        if (m_text.substr(m_c.offset()).starts_with(word)) {
            m_c.skip(word.size());
            return true;
        }
        error(m_c.offset(), "unknown word");
        return false;
    }

    Value value(int depth) {
        skipBlanks();
        switch (peek()) {
            case '{':
                return object(depth + 1);
            case '[':
                return array(depth + 1);
            case '"':
                return Value(string());
            case 't':
                return literal("true") ? Value(true) : Value();
            case 'f':
                return literal("false") ? Value(false) : Value();
            case 'n':
                (void)literal("null");
                return Value();
            case -1:
                error(m_c.offset(), "a value is missing");
                return Value();
            default:
                return number();
        }
    }

    bool tooDeep(int depth) {
        if (depth <= kMaxDepth) return false;
        error(m_c.offset(), "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return true;
    }

    Value object(int depth) {
        if (tooDeep(depth)) return Value();
        (void)m_c.u8();  // "{"
        Object members;
        skipBlanks();
        if (peek() == '}') {
            (void)m_c.u8();
            return Value(std::move(members));
        }
        for (;;) {
            skipBlanks();
            const std::size_t at = m_c.offset();
            if (peek() != '"') {
                error(at, "a member name (a string) is expected");
                return Value();
            }
            std::string name = string();
            if (m_failed) return Value();
            for (const auto& m : members)
                if (m.first == name) {
                    // RFC 8259 4: names SHOULD be unique; a reader of a report cannot guess
                    // which of two values was meant.
                    error(at, "member \"" + name + "\" appears twice");
                    return Value();
                }
            skipBlanks();
            if (peek() != ':') {
                error(m_c.offset(), "\":\" is expected after a member name");
                return Value();
            }
            (void)m_c.u8();
            Value v = value(depth);
            if (m_failed) return Value();
            members.emplace_back(std::move(name), std::move(v));
            skipBlanks();
            const int b = peek();
            (void)m_c.u8();
            if (b == '}') return Value(std::move(members));
            if (b != ',') {
                error(m_c.offset() - (b == -1 ? 0 : 1), "\",\" or \"}\" is expected");
                return Value();
            }
        }
    }

    Value array(int depth) {
        if (tooDeep(depth)) return Value();
        (void)m_c.u8();  // "["
        Array items;
        skipBlanks();
        if (peek() == ']') {
            (void)m_c.u8();
            return Value(std::move(items));
        }
        for (;;) {
            Value v = value(depth);
            if (m_failed) return Value();
            items.push_back(std::move(v));
            skipBlanks();
            const int b = peek();
            (void)m_c.u8();
            if (b == ']') return Value(std::move(items));
            if (b != ',') {
                error(m_c.offset() - (b == -1 ? 0 : 1), "\",\" or \"]\" is expected");
                return Value();
            }
        }
    }

    // Four hexadecimal digits of a \u escape; -1 when they are not.
    int hex4() {
        int v = 0;
        for (int i = 0; i < 4; ++i) {
            const int b = peek();
            int d = -1;
            if (b >= '0' && b <= '9') d = b - '0';
            if (b >= 'a' && b <= 'f') d = b - 'a' + 10;
            if (b >= 'A' && b <= 'F') d = b - 'A' + 10;
            if (d < 0) return -1;
            (void)m_c.u8();
            v = v * 16 + d;
        }
        return v;
    }

    // A \u escape after its "\u": one code point, a surrogate pair joined (RFC 8259 7).
    bool unicodeEscape(std::string& out, std::size_t at) {
        const int u = hex4();
        if (u < 0) {
            error(at, "\\u needs four hexadecimal digits");
            return false;
        }
        if (u >= 0xDC00 && u <= 0xDFFF) {
            error(at, "a low surrogate without a high one");
            return false;
        }
        if (u < 0xD800 || u > 0xDBFF) {
            appendUtf8(out, static_cast<char32_t>(u));
            return true;
        }
        if (!m_text.substr(m_c.offset()).starts_with("\\u")) {
            error(at, "a high surrogate without a low one");
            return false;
        }
        m_c.skip(2);
        const int lo = hex4();
        if (lo < 0xDC00 || lo > 0xDFFF) {
            error(at, "a high surrogate without a low one");
            return false;
        }
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                            (static_cast<char32_t>(lo) - 0xDC00));
        return true;
    }

    std::string string() {
        const std::size_t start = m_c.offset();
        (void)m_c.u8();  // the opening quote
        std::string out;
        for (;;) {
            const int b = peek();
            if (b == -1) {
                error(start, "a string is not closed");
                return {};
            }
            const std::size_t at = m_c.offset();
            (void)m_c.u8();
            if (b == '"') break;
            if (b < 0x20) {
                error(at, "a control character inside a string");
                return {};
            }
            if (b != '\\') {
                out += static_cast<char>(b);
                continue;
            }
            const int e = peek();
            (void)m_c.u8();
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += static_cast<char>(e);
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u':
                    if (!unicodeEscape(out, at)) return {};
                    break;
                default:
                    error(at, "unknown escape");
                    return {};
            }
        }
        if (!isValidUtf8(out)) {
            error(start, "a string is not UTF-8");
            return {};
        }
        return out;
    }

    // number = [ "-" ] int [ frac ] [ exp ]; int = "0" / digit1-9 *DIGIT (RFC 8259 6).
    Value number() {
        const std::size_t start = m_c.offset();
        std::size_t i = start;
        const auto digit = [&](std::size_t k) {
            return k < m_text.size() && m_text[k] >= '0' && m_text[k] <= '9';
        };
        const auto digits = [&] {
            const std::size_t from = i;
            while (digit(i)) ++i;
            return i > from;
        };
        if (i < m_text.size() && m_text[i] == '-') ++i;
        if (!digit(i)) {
            error(start, m_text[start] == '-' ? "a digit is expected" : "unexpected character");
            return Value();
        }
        if (m_text[i] == '0') {
            ++i;
        } else {
            (void)digits();
        }
        bool integral = true;
        if (i < m_text.size() && m_text[i] == '.') {
            ++i;
            integral = false;
            if (!digits()) {
                error(i, "a digit is expected after \".\"");
                return Value();
            }
        }
        if (i < m_text.size() && (m_text[i] == 'e' || m_text[i] == 'E')) {
            ++i;
            integral = false;
            if (i < m_text.size() && (m_text[i] == '+' || m_text[i] == '-')) ++i;
            if (!digits()) {
                error(i, "a digit is expected in the exponent");
                return Value();
            }
        }
        const std::string_view t = m_text.substr(start, i - start);
        m_c.skip(i - start);
        if (integral) {
            std::int64_t v = 0;
            const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
            if (r.ec == std::errc()) return Value(v);
        }
        // strtod needs a terminated text; a number is short and checked above.
        const std::string copy(t);
        const double d = std::strtod(copy.c_str(), nullptr);
        if (!std::isfinite(d)) {
            // RFC 8259 6 lets a reader limit the range; infinity has no JSON text.
            error(start, "number out of range");
            return Value();
        }
        return Value(d);
    }

    std::string_view m_text;
    ByteCursor m_c;
    bool m_failed = false;
    JsonError m_error;
};

}  // namespace

Result<Value, JsonError> parse(std::string_view text) {
    return Reader(text).document();
}

// ---- Writer ------------------------------------------------------------------------------

namespace {

void writeString(std::string& out, const std::string& s) {
    out += '"';
    for (const char32_t cp : utf8ToCodePoints(s)) {
        switch (cp) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (cp < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(cp));
                    out += buf;
                } else {
                    appendUtf8(out, cp);
                }
        }
    }
    out += '"';
}

void writeReal(std::string& out, double d) {
    if (!std::isfinite(d)) {
        out += "null";
        return;
    }
    char buf[32];
    // The shortest text that reads back as the same double.
    const auto r = std::to_chars(buf, buf + sizeof buf, d);
    std::string_view t(buf, static_cast<std::size_t>(r.ptr - buf));
    out += t;
    // "1" would read back as an integer; keep the value's kind.
    if (t.find_first_of(".eE") == std::string_view::npos) out += ".0";
}

void writeValue(std::string& out, const Value& v, int indent) {
    const auto newline = [&](int level) {
        out += '\n';
        out.append(static_cast<std::size_t>(level) * 2, ' ');
    };
    switch (v.type()) {
        case Type::Null:
            out += "null";
            break;
        case Type::Bool:
            out += v.asBool() ? "true" : "false";
            break;
        case Type::Integer:
            out += std::to_string(v.asInt());
            break;
        case Type::Real:
            writeReal(out, v.asReal());
            break;
        case Type::String:
            writeString(out, v.asString());
            break;
        case Type::Array: {
            if (v.items().empty()) {
                out += "[]";
                break;
            }
            out += '[';
            bool first = true;
            for (const Value& item : v.items()) {
                if (!first) out += ',';
                first = false;
                newline(indent + 1);
                writeValue(out, item, indent + 1);
            }
            newline(indent);
            out += ']';
            break;
        }
        case Type::Object: {
            if (v.members().empty()) {
                out += "{}";
                break;
            }
            out += '{';
            bool first = true;
            for (const auto& [name, member] : v.members()) {
                if (!first) out += ',';
                first = false;
                newline(indent + 1);
                writeString(out, name);
                out += ": ";
                writeValue(out, member, indent + 1);
            }
            newline(indent);
            out += '}';
            break;
        }
    }
}

}  // namespace

std::string write(const Value& v) {
    std::string out;
    writeValue(out, v, 0);
    out += '\n';
    return out;
}

}  // namespace core::json
