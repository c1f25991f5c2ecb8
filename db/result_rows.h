// The rows of an open query, kept compactly: each row is one buffer holding, per value, its end
// offset (NULL as a flag bit), then the values' bytes one after the other. A NULL costs its
// offset alone, a value its offset and its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class ResultRows {
  public:
    // At most `limit` bytes of memory (bytesHeld) may be taken; offsets need it below 2 GiB.
    explicit ResultRows(std::size_t columns = 0, std::size_t limit = kMaxLimit)
        : m_columns(columns), m_limit(limit < kMaxLimit ? limit : kMaxLimit) {}
    static constexpr std::size_t kMaxLimit = 0x7FFFFFFF;

    // Appends a row of exactly columns() values (nullopt is NULL), each appended to the row's
    // bytes by `append(out, value)` (the connection's bytes turned into UTF-8, say). False, and
    // nothing stored, when the row would take the rows past the limit.
    template <class Append>
    [[nodiscard]] bool add(const std::vector<std::optional<std::string_view>>& values,
                           Append&& append);
    // The values as they are.
    [[nodiscard]] bool add(const std::vector<std::optional<std::string_view>>& values);

    std::size_t columns() const { return m_columns; }
    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    bool isNull(std::size_t row, std::size_t column) const;
    // The value's bytes ("" for NULL); valid as long as the rows.
    std::string_view value(std::size_t row, std::size_t column) const;
    // Memory the rows hold (buffers and the list of them), for bounding a result.
    std::size_t bytesHeld() const { return m_bytes; }
    // Memory a row of `valueBytes` bytes over `columns` columns takes.
    static std::size_t rowCost(std::size_t columns, std::size_t valueBytes);

  private:
    static constexpr std::uint32_t kNull = 0x80000000u;  // flag bit of an end offset
    bool store(std::string_view bytes, const std::vector<std::uint32_t>& ends);
    std::uint32_t endAt(const char* row, std::size_t column) const;

    std::size_t m_columns;
    std::size_t m_limit;
    std::vector<std::unique_ptr<char[]>> m_rows;
    std::size_t m_bytes = 0;
    // Scratch of add(): the row's values and ends while it is built.
    std::string m_values;
    std::vector<std::uint32_t> m_ends;
};

template <class Append>
bool ResultRows::add(const std::vector<std::optional<std::string_view>>& values, Append&& append) {
    m_values.clear();
    m_ends.clear();
    for (const auto& v : values) {
        if (v) append(m_values, *v);
        // A row past the limit is refused below; its offsets need not be exact.
        if (m_values.size() > m_limit) return false;
        m_ends.push_back(static_cast<std::uint32_t>(m_values.size()) | (v ? 0 : kNull));
    }
    return store(m_values, m_ends);
}

}  // namespace db
