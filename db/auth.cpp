#include "db/auth.h"

#include <cmath>

#include "core/sha1.h"
#include "db/mysql_protocol.h"

namespace db {

std::string nativePasswordToken(std::string_view password, std::string_view scramble20) {
    if (password.empty()) return {};
    const core::Sha1Digest stage1 = core::sha1(password);
    const core::Sha1Digest stage2 =
        core::sha1({reinterpret_cast<const char*>(stage1.data()), stage1.size()});
    core::Sha1 h;
    h.update(scramble20);
    h.update(stage2.data(), stage2.size());
    const core::Sha1Digest mix = h.finish();
    std::string token(stage1.size(), '\0');
    for (std::size_t i = 0; i < token.size(); ++i) token[i] = static_cast<char>(mix[i] ^ stage1[i]);
    return token;
}

// The pre-4.1 hash: only the low 31 bits of each number are kept, so 32-bit arithmetic gives
// the same result as the wider integers of other implementations.
OldPasswordHash oldPasswordHash(std::string_view password) {
    std::uint32_t nr = 1345345333u, add = 7, nr2 = 0x12345671u;
    for (char ch : password) {
        if (ch == ' ' || ch == '\t') continue;
        const std::uint32_t tmp = static_cast<unsigned char>(ch);
        nr ^= (((nr & 63) + add) * tmp) + (nr << 8);
        nr2 += (nr2 << 8) ^ nr;
        add += tmp;
    }
    return {nr & 0x7FFFFFFFu, nr2 & 0x7FFFFFFFu};
}

namespace {

// The pre-4.1 method's generator: two seeds below 0x3FFFFFFF, values in [0, 1).
class OldRandom {
  public:
    OldRandom(std::uint32_t seed1, std::uint32_t seed2)
        : m_seed1(seed1 % kMax), m_seed2(seed2 % kMax) {}
    double next() {
        m_seed1 = (m_seed1 * 3 + m_seed2) % kMax;
        m_seed2 = (m_seed1 + m_seed2 + 33) % kMax;
        return static_cast<double>(m_seed1) / static_cast<double>(kMax);
    }

  private:
    static constexpr std::uint64_t kMax = 0x3FFFFFFF;
    std::uint64_t m_seed1, m_seed2;
};

}  // namespace

std::string oldPasswordAnswer(std::string_view password, std::string_view scramble8) {
    if (password.empty()) return {};
    const OldPasswordHash p = oldPasswordHash(password);
    const OldPasswordHash m = oldPasswordHash(scramble8.substr(0, kScrambleLength323));
    OldRandom rnd(p.first ^ m.first, p.second ^ m.second);
    std::string out(kScrambleLength323, '\0');
    for (char& ch : out) ch = static_cast<char>(static_cast<int>(std::floor(rnd.next() * 31)) + 64);
    const char extra = static_cast<char>(static_cast<int>(std::floor(rnd.next() * 31)));
    for (char& ch : out) ch = static_cast<char>(ch ^ extra);
    return out;
}

std::uint32_t clientCapabilities(std::uint32_t callerFlags, std::uint16_t serverCapabilities) {
    std::uint32_t flags = callerFlags;
    if (flags & CLIENT_MULTI_STATEMENTS) flags |= CLIENT_MULTI_RESULTS;
    flags |= kClientBaseFlags | CLIENT_CONNECT_WITH_DB;
    // Compression, the 4.1 protocol and TLS only when the server offers them.
    for (std::uint32_t onlyIfOffered : {CLIENT_COMPRESS, CLIENT_PROTOCOL_41, CLIENT_SSL})
        if (!(serverCapabilities & onlyIfOffered)) flags &= ~onlyIfOffered;
    return flags;
}

namespace {

void putLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putZeroTerminated(std::string& out, std::string_view s) {
    out += s;
    out += '\0';
}

}  // namespace

std::string buildLoginAnswer(const LoginAnswer& a) {
    std::string out;
    if (a.clientFlag & CLIENT_PROTOCOL_41) {
        putLe(out, a.clientFlag, 4);
        putLe(out, kMaxAllowedPacket, 4);
        out += static_cast<char>(kCharsetLatin1Swedish);
        out.append(23, '\0');
    } else {
        putLe(out, a.clientFlag, 2);
        out.append(3, '\0');  // the pre-4.1 largest-packet field
    }
    putZeroTerminated(out, a.user);
    if (a.serverCapabilities & CLIENT_SECURE_CONNECTION) {
        if (a.password.empty()) {
            out += '\0';
        } else if (a.scramble.size() == kScrambleLength) {
            out += static_cast<char>(kScrambleLength);
            out += nativePasswordToken(a.password, a.scramble);
        } else {
            // No 20-byte scramble to answer: a placeholder the server will refuse.
            putZeroTerminated(out, "xxxxxxxx");
        }
    } else {
        putZeroTerminated(out, oldPasswordAnswer(a.password, a.scramble));
    }
    if (a.serverCapabilities & CLIENT_CONNECT_WITH_DB) putZeroTerminated(out, a.database);
    return out;
}

}  // namespace db
