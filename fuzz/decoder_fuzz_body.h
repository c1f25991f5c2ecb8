// The body shared by the decoder fuzz targets and the test that replays their findings: the
// first three input bytes choose the general purpose flags and the entry's size, the rest is
// the compressed data. A decoder must end (data or error) and never exceed that size.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "archive/decoders/decoder.h"

namespace fuzzing {

class SpanSource : public archive::ByteSource {
  public:
    SpanSource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    core::Result<std::size_t, archive::DecodeError> read(std::span<std::byte> buf) override {
        const std::size_t n = std::min(buf.size(), m_size - m_pos);
        if (n > 0) std::memcpy(buf.data(), m_data + m_pos, n);
        m_pos += n;
        return n;
    }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

using Maker = std::unique_ptr<archive::Decoder> (*)(const archive::DecoderParams&,
                                                    archive::ByteSource&);

struct RunResult {
    std::uint64_t produced = 0;
    std::uint64_t limit = 0;
    bool failed = false;  // the decoder reported an error
};

inline RunResult runDecoder(Maker make, std::uint16_t method, const std::uint8_t* data,
                            std::size_t size) {
    RunResult result;
    if (size < 3) return result;
    archive::DecoderParams params;
    params.method = method;
    params.flags = data[0];
    params.uncompressedSize = result.limit = (data[1] | std::uint64_t{data[2]} << 8) * 16;
    params.compressedSize = size - 3;
    SpanSource source(data + 3, size - 3);
    auto decoder = make(params, source);
    if (!decoder) {  // a build without this decoder refuses the method
        result.failed = true;
        return result;
    }
    std::vector<std::byte> buf(4096);
    for (;;) {
        auto got = decoder->read(buf);
        if (!got) {
            result.failed = true;
            break;
        }
        if (*got == 0) break;
        result.produced += *got;
        if (result.produced > result.limit) __builtin_trap();
    }
    return result;
}

}  // namespace fuzzing
