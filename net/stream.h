// The destination of a download: a stream with a position and a size that the client can set
// ahead (to claim a known length once) and cut back. In memory or a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform.h"

namespace net {

class Stream {
  public:
    virtual ~Stream() = default;
    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    // Sets the size; the position is kept (and moved back if it lay beyond the new end).
    virtual void SetSize(std::int64_t size) = 0;
    // Writes at the position and moves it on. Throws EStreamError when the bytes cannot be kept.
    virtual void Write(std::span<const std::byte> data) = 0;
    virtual void Seek(std::int64_t position) = 0;
    // In-memory streams take the body directly; the client never detours through memory for them.
    virtual bool IsMemory() const { return false; }
};

// What a bounded memory stream does with bytes beyond its limit.
enum class Overflow {
    Drop,  // count them but keep nothing (the client's scratch buffer for error bodies)
    Fail,  // throw EStreamError (a caller that wants all of a small body or nothing)
};

class MemoryStream : public Stream {
  public:
    MemoryStream() = default;
    // At most `limit` bytes are kept, so that no response can make the stream grow without bound.
    MemoryStream(std::size_t limit, Overflow overflow) : m_limit(limit), m_overflow(overflow) {}

    std::int64_t Position() const override { return m_pos; }
    std::int64_t Size() const override { return m_size; }
    void SetSize(std::int64_t size) override;
    void Write(std::span<const std::byte> data) override;
    void Seek(std::int64_t position) override { m_pos = position; }
    bool IsMemory() const override { return true; }

    // The bytes kept (all of them when no limit was reached).
    std::string_view text() const {
        return {reinterpret_cast<const char*>(m_data.data()), m_data.size()};
    }
    const std::vector<std::byte>& bytes() const { return m_data; }

  private:
    std::vector<std::byte> m_data;
    std::size_t m_limit = SIZE_MAX;
    Overflow m_overflow = Overflow::Drop;
    std::int64_t m_pos = 0;
    std::int64_t m_size = 0;  // may exceed m_data.size() when a size was claimed ahead
};

class FileStream : public Stream {
  public:
    // Creates (or empties) the file. Throws EStreamError when it cannot.
    explicit FileStream(const std::string& path);
    struct KeepContent {};
    // Opens the file keeping what it holds (made empty when missing), positioned at its end:
    // the destination of a download that goes on where an earlier attempt stopped.
    FileStream(const std::string& path, KeepContent);

    std::int64_t Position() const override { return m_pos; }
    std::int64_t Size() const override { return m_size; }
    void SetSize(std::int64_t size) override;
    void Write(std::span<const std::byte> data) override;
    void Seek(std::int64_t position) override { m_pos = position; }
    void Close() { m_file.close(); }

  private:
    std::string m_path;
    host::DataFile m_file;
    std::int64_t m_pos = 0;
    std::int64_t m_size = 0;
};

}  // namespace net
