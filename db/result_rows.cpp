#include "db/result_rows.h"

#include <cstring>

namespace db {

std::size_t ResultRows::rowCost(std::size_t columns, std::size_t valueBytes) {
    return columns * sizeof(std::uint32_t) + valueBytes + sizeof(std::unique_ptr<char[]>);
}

bool ResultRows::add(const std::vector<std::optional<std::string_view>>& values) {
    return add(values, [](std::string& out, std::string_view v) { out += v; });
}

// Layout of a row buffer: columns() end offsets (4 bytes each, native order, NULL flag in the
// top bit), then the values' bytes. Value i spans [end(i - 1), end(i)) of the bytes part. A
// limit below 2 GiB keeps every offset within 31 bits.
bool ResultRows::store(std::string_view bytes, const std::vector<std::uint32_t>& ends) {
    const std::size_t cost = rowCost(ends.size(), bytes.size());
    if (cost > m_limit - m_bytes) return false;
    const std::size_t head = ends.size() * sizeof(std::uint32_t);
    auto row = std::make_unique<char[]>(head + bytes.size());
    if (head) std::memcpy(row.get(), ends.data(), head);
    if (!bytes.empty()) std::memcpy(row.get() + head, bytes.data(), bytes.size());
    m_rows.push_back(std::move(row));
    m_bytes += cost;
    return true;
}

std::uint32_t ResultRows::endAt(const char* row, std::size_t column) const {
    std::uint32_t end;
    std::memcpy(&end, row + column * sizeof end, sizeof end);
    return end;
}

bool ResultRows::isNull(std::size_t row, std::size_t column) const {
    return (endAt(m_rows[row].get(), column) & kNull) != 0;
}

std::string_view ResultRows::value(std::size_t row, std::size_t column) const {
    const char* r = m_rows[row].get();
    const std::uint32_t end = endAt(r, column) & ~kNull;
    const std::uint32_t begin = column == 0 ? 0 : endAt(r, column - 1) & ~kNull;
    return {r + m_columns * sizeof(std::uint32_t) + begin, end - begin};
}

}  // namespace db
