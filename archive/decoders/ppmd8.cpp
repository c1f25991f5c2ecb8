#include "archive/decoders/ppmd8.h"

#include <optional>

#include "archive/decoders/ppmd8_model.h"
#include "archive/decoders/stream_decoder.h"

namespace archive {
namespace {

class PpmdDecoder final : public StreamDecoder {
  public:
    PpmdDecoder(const DecoderParams& params, ByteSource& source)
        : StreamDecoder("PPMd", params.uncompressedSize), m_input(source) {}

  protected:
    core::Result<std::size_t, DecodeError> produce(std::span<std::byte> out) override;

  private:
    core::Result<core::Ok, DecodeError> start();
    core::Unexpected<DecodeError> inputError() {
        if (m_input.sourceError()) return core::fail(*m_input.sourceError());
        return error("the compressed data ends early");
    }

    InputBuffer m_input;
    std::optional<Ppmd8Model> m_model;  // made on the first read: it may take 256 MiB
    bool m_ended = false;
};

core::Result<core::Ok, DecodeError> PpmdDecoder::start() {
    // The parameter word, little-endian: bits 0-3 order - 1, bits 4-11 memory in MiB - 1,
    // bits 12-15 the restoration method (0 restart the model, 1 cut it off, 2 freeze).
    const unsigned lo = m_input.byte();
    const unsigned word = lo | (unsigned{m_input.byte()} << 8);
    if (m_input.overrun()) return inputError();
    const unsigned order = (word & 0xF) + 1;
    const std::uint32_t memory = (((word >> 4) & 0xFF) + 1) << 20;
    const unsigned restore = word >> 12;
    if (order < Ppmd8Model::kMinOrder) return error("model order 1 is below the minimum of 2");
    if (restore > 1)
        return error("restoration method " + std::to_string(restore) + " is not supported");
    m_model.emplace(memory, order, static_cast<Ppmd8Model::Restore>(restore));
    if (!m_model->ok())
        return error("cannot get the model's " + std::to_string(memory >> 20) + " MiB of memory");
    if (!m_model->startDecoding(m_input)) return error("invalid start of the range-coded data");
    if (m_input.overrun()) return inputError();
    return core::Ok{};
}

core::Result<std::size_t, DecodeError> PpmdDecoder::produce(std::span<std::byte> out) {
    if (m_ended) return std::size_t{0};
    if (!m_model) {
        auto started = start();
        if (!started) return core::fail(started.error());
    }
    Ppmd8Model::Stop stop;
    const std::size_t n =
        m_model->decode(m_input, {reinterpret_cast<std::uint8_t*>(out.data()), out.size()}, stop);
    switch (stop) {
        case Ppmd8Model::Stop::None:
            break;
        case Ppmd8Model::Stop::Overrun:
            return inputError();
        case Ppmd8Model::Stop::DataError:
            return error("corrupt compressed data");
        case Ppmd8Model::Stop::EndMark:
            m_ended = true;
            break;
    }
    return n;
}

}  // namespace

std::unique_ptr<Decoder> makePpmdDecoder(const DecoderParams& params, ByteSource& source) {
    return std::make_unique<PpmdDecoder>(params, source);
}

}  // namespace archive
