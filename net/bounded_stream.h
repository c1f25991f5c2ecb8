// BoundedStream: a download destination that takes at most a known number of bytes. The package
// of a signed release has a signed SIZE; a server that claims or sends more is refused as soon as
// it does, instead of filling the disk before the check after the download.
#pragma once

#include <cstdint>
#include <string>

#include "net/id_exceptions.h"
#include "net/stream.h"

namespace net {

class BoundedStream : public Stream {
  public:
    BoundedStream(Stream& inner, std::int64_t limit) : m_inner(inner), m_limit(limit) {}

    std::int64_t Position() const override { return m_inner.Position(); }
    std::int64_t Size() const override { return m_inner.Size(); }
    void SetSize(std::int64_t size) override {
        check(size);
        m_inner.SetSize(size);
    }
    void Write(std::span<const std::byte> data) override {
        check(m_inner.Position() + static_cast<std::int64_t>(data.size()));
        m_inner.Write(data);
    }
    void Seek(std::int64_t position) override { m_inner.Seek(position); }
    // True once the server claimed or sent more than the limit.
    bool exceeded() const { return m_exceeded; }

  private:
    void check(std::int64_t end) {
        if (end <= m_limit) return;
        m_exceeded = true;
        throw EStreamTooLarge("The package is larger than its signed size of " +
                              std::to_string(m_limit) + " bytes.");
    }

    Stream& m_inner;
    std::int64_t m_limit;
    bool m_exceeded = false;
};

}  // namespace net
