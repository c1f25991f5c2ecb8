// A download into "<file>.part" that survives a broken transfer: after a connection that failed
// (refused, reset, closed mid-body, idle too long) the next request asks for the rest with
// Range and If-Range, after a pause that doubles each time, a bounded number of times. What the
// server answers decides: 206 from where we stopped appends, 200 (Range ignored, or If-Range
// failed because the file changed) or a 206 from elsewhere starts over in the same .part, 416
// with the length we already have means the file is complete. The validator of the bytes in
// the .part is kept beside it ("<file>.part.tag") so that a later run can resume too.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace net {

class TIdHTTP;

struct ResumeSettings {
    // Requests that may fail on the connection in one fetch (the first one included).
    int attempts = 5;
    // The pause after the first failure; doubled after each further one, up to 60 s (or the
    // first pause when that is longer).
    std::chrono::milliseconds firstPause{1000};
    // The most bytes the file may reach (-1: no bound); more raises EStreamTooLarge.
    std::int64_t limit = -1;
    // Told before each pause: the failure, the attempt that comes next, the attempts allowed.
    std::function<void(const std::string& why, int nextAttempt, int attempts,
                       std::chrono::milliseconds pause)>
        onRetry;
};

struct ResumeOutcome {
    std::int64_t size = 0;         // bytes in the .part at the end
    int requests = 0;              // requests sent
    int resumed = 0;               // 206 answers that went on where the .part ended
    int restarts = 0;              // times bytes of the .part were dropped to start over
    bool alreadyComplete = false;  // a 416 said the .part already held the whole file
    std::int64_t resumedAt = -1;   // where the first 206 that went on began (-1: none did)
    int status = 0;                // the status of the answer that ended the fetch
};

// The name of the partial download of `file`, and of its validator.
std::string PartFileOf(const std::string& file);
std::string PartTagFileOf(const std::string& file);

// Fetches `url` into PartFileOf(file), going on from what it holds. On success the .part holds
// the whole body and its tag file is gone (the caller renames or checks it); on failure the
// exception of the last attempt is raised and the .part stays for the next run.
ResumeOutcome GetResumable(TIdHTTP& http, const std::string& url, const std::string& file,
                           const ResumeSettings& settings);

}  // namespace net
