// TextPositions: line and column (both from 1, columns in characters) of offsets in a text,
// asked for in increasing order, so a whole script is walked once whatever its line lengths.
#pragma once

#include <cstddef>
#include <string_view>

namespace db {

struct TextPos {
    int line = 1;
    int column = 1;
};

class TextPositions {
  public:
    explicit TextPositions(std::string_view text) : m_text(text) {}
    // `offset` must not be below the offset of the previous call.
    TextPos at(std::size_t offset);

  private:
    std::string_view m_text;
    std::size_t m_offset = 0;
    TextPos m_pos;
};

}  // namespace db
