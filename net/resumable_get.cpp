#include "net/resumable_get.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>

#include "core/text.h"
#include "host/platform/file_names.h"
#include "net/bounded_stream.h"
#include "net/content_range.h"
#include "net/id_exceptions.h"
#include "net/id_http.h"
#include "net/stream.h"

namespace net {

namespace {

// Answers that make the .part start over without a pause (a 206 from another offset, a 416
// for a length we do not have) come at most this often in one fetch.
constexpr int kMaxRestarts = 3;
// The longest pause between two attempts, however many attempts are allowed.
constexpr std::chrono::milliseconds kMaxPause{60'000};
// The longest a validator may be to be kept and sent back.
constexpr std::size_t kMaxValidator = 1024;

// Raised from the head handler when the 206 does not continue the .part.
struct RangeMismatch {};

std::string readTag(const std::string& path) {
    // The validator's line, read no further than one past the longest kept.
    const std::optional<std::string> text = host::readWholeFile(path, kMaxValidator + 2);
    if (!text) return "";
    std::string line = text->substr(0, text->find('\n'));
    return line.size() > kMaxValidator ? "" : line;
}

void writeTag(const std::string& path, const std::string& validator) {
    std::error_code ec;
    // A validator that could split a request line is not sent back (nor kept).
    if (validator.empty() || validator.size() > kMaxValidator ||
        validator.find_first_of("\r\n") != std::string::npos) {
        std::filesystem::remove(host::fsPath(path), ec);
        return;
    }
    if (!host::writeWholeFile(path, validator + '\n'))
        std::filesystem::remove(host::fsPath(path), ec);
}

void setRangeHeaders(TIdHTTPRequest& r, std::int64_t from, const std::string& validator) {
    auto& h = r.CustomHeaders;
    h.erase(std::remove_if(
                h.begin(), h.end(),
                [](const auto& kv) { return core::equalsNoCaseAscii(kv.first, "If-Range"); }),
            h.end());
    r.Range.clear();
    if (from <= 0) return;
    r.Range = "bytes=" + std::to_string(from) + "-";
    h.emplace_back("If-Range", validator);
}

// Failures of the connection, which another request may not meet: refused, reset, closed in
// the middle of the response, silent beyond the idle time-out.
bool isConnectionFailure(const EIdException& e) {
    return dynamic_cast<const EIdSocketError*>(&e) ||
           dynamic_cast<const EIdConnClosedGracefully*>(&e) ||
           dynamic_cast<const EIdReadTimeout*>(&e);
}

// Restores the client's request headers and head handler however the fetch ends.
class ClientState {
  public:
    explicit ClientState(TIdHTTP& http)
        : m_http(http),
          m_range(http.Request.Range),
          m_custom(http.Request.CustomHeaders),
          m_handler(http.OnHeadersAvailable) {}
    ~ClientState() {
        m_http.Request.Range = m_range;
        m_http.Request.CustomHeaders = m_custom;
        m_http.OnHeadersAvailable = m_handler;
    }
    ClientState(const ClientState&) = delete;
    ClientState& operator=(const ClientState&) = delete;

  private:
    TIdHTTP& m_http;
    std::string m_range;
    std::vector<std::pair<std::string, std::string>> m_custom;
    std::function<void(TIdHTTP&)> m_handler;
};

}  // namespace

std::string PartFileOf(const std::string& file) {
    return file + ".part";
}

std::string PartTagFileOf(const std::string& file) {
    return file + ".part.tag";
}

ResumeOutcome GetResumable(TIdHTTP& http, const std::string& url, const std::string& file,
                           const ResumeSettings& settings) {
    const std::string part = PartFileOf(file), tagFile = PartTagFileOf(file);
    ClientState restore(http);
    ResumeOutcome out;
    std::string validator = readTag(tagFile);
    int failures = 0, mismatches = 0;
    for (;;) {
        FileStream stream(part, FileStream::KeepContent{});
        std::int64_t have = stream.Size();
        // Bytes whose validator is unknown cannot be continued safely: they are fetched again.
        if (have > 0 && validator.empty()) {
            stream.SetSize(0);
            have = 0;
            ++out.restarts;
        }
        if (settings.limit >= 0 && have > settings.limit) {
            stream.SetSize(0);
            have = 0;
        }
        stream.Seek(have);
        setRangeHeaders(http.Request, have, validator);
        http.OnHeadersAvailable = [&](TIdHTTP& h) {
            const TIdHTTPResponse& r = h.Response();
            if (r.ResponseCode == 206) {
                const auto range = parseContentRange(r.ContentRange);
                if (have == 0 || !range || range->first != have) throw RangeMismatch{};
                if (out.resumed++ == 0) out.resumedAt = have;
                return;
            }
            if (r.ResponseCode / 100 != 2) return;
            // The whole body comes: it replaces what the .part held, under its own validator,
            // kept before the body so that a transfer cut from here on can be resumed.
            if (have > 0) {
                stream.SetSize(0);
                stream.Seek(0);
                ++out.restarts;
            }
            validator = rangeValidator(r.ETag, r.LastModified);
            writeTag(tagFile, validator);
            validator = readTag(tagFile);
        };
        std::optional<BoundedStream> bounded;
        if (settings.limit >= 0) bounded.emplace(stream, settings.limit);
        ++out.requests;
        try {
            http.Get(url, bounded ? static_cast<Stream&>(*bounded) : stream);
        } catch (const RangeMismatch&) {
            ++out.restarts;
            if (++mismatches > kMaxRestarts)
                throw EIdHTTPResponseInvalid("The server does not send the range asked for.");
            stream.SetSize(0);
            continue;
        } catch (const EIdHTTPProtocolException& e) {
            if (e.ErrorCode() != 416 || have == 0) throw;
            const auto range = parseContentRange(http.Response().ContentRange);
            if (range && range->first < 0 && range->complete == have) {
                out.alreadyComplete = true;
                out.size = have;
                out.status = 416;
                break;
            }
            ++out.restarts;
            if (++mismatches > kMaxRestarts) throw;
            stream.SetSize(0);
            continue;
        } catch (const EIdException& e) {
            if (!isConnectionFailure(e) || ++failures >= settings.attempts) throw;
            const auto pause = std::min<std::chrono::milliseconds>(
                settings.firstPause * (1LL << std::min(failures - 1, 20)),
                std::max(kMaxPause, settings.firstPause));
            if (settings.onRetry)
                settings.onRetry(e.what(), failures + 1, settings.attempts, pause);
            std::this_thread::sleep_for(pause);
            continue;
        }
        out.size = stream.Size();
        out.status = http.Response().ResponseCode;
        break;
    }
    std::error_code ec;
    std::filesystem::remove(host::fsPath(tagFile), ec);
    return out;
}

}  // namespace net
