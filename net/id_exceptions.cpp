#include "net/id_exceptions.h"

namespace net {

namespace {
// The system texts are shown as sentences, the way the client has always shown them
// ("Connection refused.").
std::string sentence(const std::string& text) {
    if (text.empty() || text.back() == '.') return text;
    return text + ".";
}
}  // namespace

EIdSocketError::EIdSocketError(int lastError, const std::string& systemText)
    : EIdException("Socket Error # " + std::to_string(lastError) + "\n" + sentence(systemText)),
      m_lastError(lastError) {}

}  // namespace net
