// Helpers for the decoder tests: a ByteSource over bytes in memory that hands them out in
// random-size pieces, a loop that decodes a whole entry, and the real archives' entries that the
// answer key says come out right.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/decoders/decoder.h"
#include "tests/support/pieces.h"
#include "tests/support/tools.h"
#include "tests/support/zip_entries.h"

namespace testsupport {

// The decoders' input, handed out in pieces of the tests' one piece-wise source.
class PieceSource : public archive::ByteSource {
  public:
    // seed 0: the whole input at once; otherwise pieces of 1 to maxPiece bytes (PieceSizes).
    PieceSource(std::string data, unsigned seed, std::size_t maxPiece = 700)
        : m_data(std::move(data)), m_random(seed != 0), m_sizes(maxPiece, seed) {}
    core::Result<std::size_t, archive::DecodeError> read(std::span<std::byte> buf) override;

  private:
    std::string m_data;
    std::size_t m_pos = 0;
    bool m_random;
    PieceSizes m_sizes;
};

using DecoderMaker = std::function<std::unique_ptr<archive::Decoder>(const archive::DecoderParams&,
                                                                     archive::ByteSource&)>;

struct Decoded {
    std::string bytes;
    std::optional<std::string> error;  // the decoder's message when it failed
};

// Runs the decoder to its end, asking for output in pieces (random sizes when seed != 0) from
// input in pieces of up to maxPiece bytes. A decoder that gives more than it was asked for, or
// more than the entry's size, fails the run; a method without a decoder gives the error
// "no decoder".
Decoded decodeAll(const DecoderMaker& make, const archive::DecoderParams& params,
                  const std::string& data, unsigned seed = 0, std::size_t maxPiece = 700);
Decoded decodeEntry(const DecoderMaker& make, const RawZipEntry& entry, unsigned seed = 0);
// Whether this build has the decoder at all (WavPack needs libwavpack, absent on Windows).
inline bool builtIn(const DecoderMaker& make) {
    PieceSource none("", 0);
    return make(archive::DecoderParams{}, none) != nullptr;
}

std::uint32_t crc32Of(const std::string& bytes);

// The shared archive folder ("" when absent) and the real archives' entries of the given methods
// that must come out right, with the raw entry each row names (matched by size and CRC-32).
std::string zipTestdataDir();
struct RealEntry {
    ExpectedEntry row;
    RawZipEntry raw;
};
std::vector<RealEntry> realEntries(const std::vector<int>& methods);

}  // namespace testsupport
