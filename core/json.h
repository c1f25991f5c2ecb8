// JSON values (RFC 8259), one writer and one reader: the updater's run report and plan are
// written with it, and --only-failed reads the last report back (a file anyone could edit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "core/result.h"

namespace core::json {

class Value;
using Array = std::vector<Value>;
// Members in the order they were added (the writer keeps it, so output is stable).
using Object = std::vector<std::pair<std::string, Value>>;

enum class Type { Null, Bool, Integer, Real, String, Array, Object };

class Value {
  public:
    Value() = default;  // null
    Value(std::nullptr_t) {}
    Value(bool b) : m_v(b) {}
    Value(int i) : m_v(static_cast<std::int64_t>(i)) {}
    Value(std::int64_t i) : m_v(i) {}
    Value(std::uint64_t) = delete;  // say which way an unsigned count is narrowed
    Value(double d) : m_v(d) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(std::string_view s) : m_v(std::string(s)) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(Array a) : m_v(std::move(a)) {}
    Value(Object o) : m_v(std::move(o)) {}

    static Value array() { return Value(Array{}); }
    static Value object() { return Value(Object{}); }

    Type type() const { return static_cast<Type>(m_v.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isObject() const { return type() == Type::Object; }

    // Typed reads: the value, or `fallback` when the value has another type. An integer reads
    // as a real too; a real with no fraction that fits reads as an integer.
    bool asBool(bool fallback = false) const;
    std::int64_t asInt(std::int64_t fallback = 0) const;
    double asReal(double fallback = 0) const;
    const std::string& asString() const;  // "" unless a string
    const Array& items() const;           // empty unless an array
    const Object& members() const;        // empty unless an object

    // Object member by name, or nullptr (also when this is not an object).
    const Value* find(std::string_view key) const;
    // The member by name, or a null value.
    const Value& operator[](std::string_view key) const;

    // Building: set replaces a member of the same name or appends one; push appends to an
    // array. Either turns a null value into the container first.
    Value& set(std::string_view key, Value v);
    Value& push(Value v);

    bool operator==(const Value& other) const = default;

  private:
    std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, Array, Object> m_v;
};

// Deepest nesting of arrays and objects the reader accepts; deeper input is an error, never a
// stack overflow.
inline constexpr int kMaxDepth = 64;

struct JsonError {
    std::size_t offset = 0;  // bytes from the start of the text
    std::string message;
    // "offset N: message"
    std::string text() const;
};

// Reads one JSON text: surrounding white space allowed, nothing else after the value. The text
// must be UTF-8 (RFC 8259 8.1); members of one object must have distinct names; escapes are
// checked (a lone surrogate is an error); an integer beyond 64 bits reads as a real.
Result<Value, JsonError> parse(std::string_view text);

// The text of a value, indented by two spaces per level, ending with a line break. Strings are
// written as UTF-8 with the escapes RFC 8259 7 requires; bytes that are not UTF-8 become U+FFFD,
// so the output is always valid JSON. A real that is not finite is written as null.
std::string write(const Value& v);

}  // namespace core::json
