// LzmaCore: the LZMA decoder proper, a range decoder driving the literal/match/rep state
// machine over a sliding window. It knows nothing of containers: its caller hands it the
// properties, the input bytes and how far to decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoders/big_buffer.h"

namespace archive {

struct LzmaProperties {
    unsigned lc = 3;  // literal context: high bits of the previous byte (0-8)
    unsigned lp = 0;  // literal position bits (0-4)
    unsigned pb = 2;  // position bits of the match/literal decisions (0-4)
    std::uint32_t dictionary = 0;

    // The 5-byte properties: (pb * 5 + lp) * 9 + lc, then the dictionary size little-endian.
    // Empty when the first byte is 225 or more.
    static std::optional<LzmaProperties> parse(const std::uint8_t* bytes);
};

class LzmaCore {
  public:
    static constexpr std::size_t kStartBytes = 5;       // the range decoder's first bytes
    static constexpr std::size_t kMaxSymbolBytes = 64;  // no symbol reads more input than this

    enum class Status {
        Ok,       // reached the output limit, or input ran below inLimit
        EndMark,  // the end-of-stream marker
        Corrupt,  // problem() says why
    };

    // windowSize: how much history to keep; at least the dictionary unless the whole output is
    // smaller. The window is allocated here; ok() is false when that memory is not available.
    LzmaCore(const LzmaProperties& props, std::size_t windowSize);

    // The range decoder's kStartBytes bytes: a 0 byte, then the first 32 bits of the code.
    bool start(const std::uint8_t* in);

    // Decodes until the window position reaches limit (<= windowSize()) or, before a symbol,
    // in reaches inLimit; in moves past the bytes used. Input up to kMaxSymbolBytes past inLimit
    // must be readable.
    Status decode(std::size_t limit, const std::uint8_t*& in, const std::uint8_t* inLimit);

    bool ok() const { return m_ok; }
    const std::uint8_t* window() const { return m_window.data(); }
    std::size_t windowSize() const { return m_windowSize; }
    std::size_t position() const { return m_pos; }  // the window's write position
    // Starts writing the window from its beginning again once position() == windowSize().
    void wrap() { m_pos = 0; }
    const std::string& problem() const { return m_problem; }

  private:
    LzmaProperties m_props;
    std::uint32_t m_dictionary;  // the distance limit: at least 4096, as the format says
    std::vector<std::uint16_t> m_probs;
    BigBuffer m_window;  // matches read it far back
    std::size_t m_windowSize;
    bool m_ok;
    std::size_t m_pos = 0;
    std::uint64_t m_total = 0;  // bytes decoded so far
    std::uint32_t m_range = 0xFFFFFFFFu;
    std::uint32_t m_code = 0;
    unsigned m_state = 0;
    std::uint32_t m_rep[4] = {0, 0, 0, 0};
    std::uint32_t m_pending = 0;  // bytes of the last match still to copy
    std::string m_problem;
};

}  // namespace archive
