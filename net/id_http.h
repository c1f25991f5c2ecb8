// TIdHTTP: the updater's HTTP/1.1 download client. Get() sends a GET, feeds what the connection
// receives to the response reader and writes a 2xx body into the caller's stream; anything else
// raises.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/cookies.h"
#include "net/http_failure.h"
#include "net/request.h"
#include "net/response_head.h"
#include "net/response_reader.h"
#include "net/stream.h"

namespace net {

enum class TIdHTTPProtocolVersion { pv1_0, pv1_1 };
enum class TWorkMode { wmRead, wmWrite };

// What the last response said, readable after Get (also from an exception handler).
struct TIdHTTPResponse {
    std::string ResponseText;
    int ResponseCode = -1;
    std::vector<std::string> RawHeaders;  // header lines, then a chunked body's trailers
    std::int64_t ContentLength = -1;
    bool HasContentLength = false;
    std::string TransferEncoding;
    std::string Location;
    std::string Connection;
    std::string ProxyConnection;
    std::string ContentType;
    std::string CharSet;
    std::string ContentRange;
    std::string ETag;
    std::string LastModified;
};

class TIdHTTP {
  public:
    TIdHTTP() = default;
    TIdHTTP(const TIdHTTP&) = delete;
    TIdHTTP& operator=(const TIdHTTP&) = delete;

    // Writes the body of a 2xx response for URL into Stream from its position at the call.
    void Get(const std::string& URL, Stream& Stream);
    // Closes the kept connection, if any.
    void Disconnect();

    TIdHTTPProtocolVersion ProtocolVersion = TIdHTTPProtocolVersion::pv1_1;
    TIdHTTPRequest Request;
    bool AllowCookies = true;
    // Milliseconds a read may wait for data; 0 or less waits as long as it takes.
    int ReadTimeout = -1;
    const TIdHTTPResponse& Response() const { return m_response; }
    const CookieStore& CookieManager() const { return m_cookies; }

    std::function<void(TIdHTTP& Sender, TWorkMode AWorkMode, std::int64_t AWorkCountMax)>
        OnWorkBegin;
    std::function<void(TIdHTTP& Sender, TWorkMode AWorkMode, std::int64_t AWorkCount)> OnWork;
    std::function<void(TIdHTTP& Sender, TWorkMode AWorkMode)> OnWorkEnd;
    // The final head has been read (Response() tells it) and nothing of the body yet: a ranged
    // download places its destination here. An exception from it ends Get (the connection,
    // out of step, is closed).
    std::function<void(TIdHTTP& Sender)> OnHeadersAvailable;

    // Connections opened so far (a kept connection serves several requests).
    int ConnectCount() const { return m_connects; }

  private:
    struct Target;
    Target prepare(const std::string& url);
    std::string requestBytes(const Target& t);
    // Sends and reads the head into `reader`; a kept connection that the server dropped in
    // the meantime is replaced once (RFC 9112 9.3.1: GET may be retried).
    void exchange(const Target& t, const std::string& bytes, ResponseReader& reader);
    // False when `reused` and the connection ended before the first byte of a response.
    bool readHead(ResponseReader& reader, bool reused);
    void handleStatus(ResponseReader& reader, Stream& dest);
    // Reads the body by `framing` into `dest`, with the work events.
    void readBody(ResponseReader& reader, Framing framing, Stream& dest);
    // Receives more for `reader` when next() needed more; false when the peer had closed.
    bool receiveFor(const ResponseReader& reader);
    [[noreturn]] void refuse(ResponseReader& reader, bool withBody);
    void drainStray();
    bool keepConnection(const ResponseHead& head) const;
    [[noreturn]] void raise(const HttpFailure& f);

    void beginWork(TWorkMode mode, std::int64_t max);
    void doWork(TWorkMode mode, std::int64_t count);
    void endWork(TWorkMode mode);

    Connection m_conn;
    CookieStore m_cookies;
    TIdHTTPResponse m_response;
    int m_workDepth = 0;
    int m_connects = 0;
    bool m_strayBytes = false;
};

}  // namespace net
