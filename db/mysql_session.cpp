#include "db/mysql_session.h"

#include <algorithm>

#include "db/auth.h"
#include "db/mysql_protocol.h"
#include "db/tcp_connect.h"

namespace db {

TMySqlSession::~TMySqlSession() {
    mysql_close();
}

bool TMySqlSession::fail(MySqlError e) {
    m_error = std::move(e);
    return false;
}

// Transport, framing and malformed-packet failures leave the byte stream at an unknown place:
// the session drops its socket and later commands get 2006.
bool TMySqlSession::failBroken(MySqlError e) {
    m_net.close();
    m_connected = false;
    status = msReady;
    serverStatus &= static_cast<std::uint16_t>(~SERVER_MORE_RESULTS_EXISTS);
    return fail(std::move(e));
}

bool TMySqlSession::protocol41() const {
    return (clientFlag & CLIENT_PROTOCOL_41) != 0;
}

bool TMySqlSession::mysql_real_connect(std::string_view host_, std::string_view user_,
                                       std::string_view password_, std::string_view database_,
                                       unsigned port_, std::uint32_t clientFlags) {
    clearError();
    if (m_connected) return fail(clientError(CR_COMMANDS_OUT_OF_SYNC));
    host = host_.empty() ? "localhost" : std::string(host_);
    user = std::string(user_);
    password = std::string(password_);
    port = port_ == 0 ? 3306 : port_;
    hostInfo = host + " via TCP/IP";

    // The connection time-out bounds the whole connect: resolution, TCP connect, the
    // server's greeting and its answer to the login, however slowly their bytes arrive.
    const Deadline deadline = connectDeadline(connectTimeout);
    auto socket = connectTcp(host, static_cast<std::uint16_t>(port), deadline);
    if (!socket) return fail(socket.error());
    // Small command packets must not wait for Nagle; a dead peer must surface eventually.
    (void)socket->setNoDelay(true);
    (void)socket->setKeepAlive(true);
    m_net = TMySqlNet(std::move(*socket));
    m_net.setDeadline(deadline);
    m_net.resetSequence();
    if (!login(password_, database_, clientFlags)) {
        if (m_net.deadlinePassed()) return failBroken(connectTimedOut(host));
        return failBroken(m_error);
    }
    m_net.setDeadline(Deadline::max());
    if (serverCapabilities & CLIENT_CONNECT_WITH_DB) database = std::string(database_);
    m_connected = true;
    status = msReady;
    return true;
}

bool TMySqlSession::login(std::string_view password_, std::string_view database_,
                          std::uint32_t clientFlags) {
    auto greeting = m_net.readPacket();
    if (!greeting) return fail(greeting.error());
    auto hs = readHandshake(*greeting);
    if (!hs) return fail(hs.error());
    serverVersion = hs->serverVersion;
    threadId = hs->threadId;
    scrambleBuff = hs->scramble;
    serverCapabilities = hs->serverCapabilities;
    serverLanguage = hs->serverLanguage;
    serverStatus = hs->serverStatus;
    clientFlag = clientCapabilities(clientFlags, serverCapabilities);

    const LoginAnswer a{
        clientFlag,        user, std::string(password_), std::string(database_), scrambleBuff,
        serverCapabilities};
    if (auto r = m_net.writePacket(buildLoginAnswer(a)); !r) return fail(r.error());

    auto answer = m_net.readPacket();
    if (!answer) return fail(answer.error());
    // A server that keeps the user's pre-4.1 hash asks for the old answer with a lone 0xFE.
    if ((serverCapabilities & CLIENT_SECURE_CONNECTION) && answer->size() == 1 &&
        firstByte(*answer) == kEofHeader) {
        std::string old = oldPasswordAnswer(password_, scrambleBuff.substr(0, kScrambleLength323));
        old += '\0';
        if (auto r = m_net.writePacket(old); !r) return fail(r.error());
        answer = m_net.readPacket();
        if (!answer) return fail(answer.error());
    }
    if (isErrorPacket(*answer)) return fail(readError(*answer));
    auto ok = readOk(*answer, protocol41(), (serverCapabilities & CLIENT_TRANSACTIONS) != 0);
    if (!ok) return fail(ok.error());
    applyOk(*ok);
    return true;
}

void TMySqlSession::applyOk(const OkPacket& ok) {
    affectedRows = ok.affectedRows;
    insertId = ok.insertId;
    if (ok.hasStatus) serverStatus = ok.serverStatus;
    warningCount = ok.warningCount;
    info = ok.info;
}

bool TMySqlSession::beginCommand() {
    clearError();
    if (!m_connected) return fail(clientError(CR_SERVER_GONE_ERROR));
    // A result still being read, or further results of the last query not yet taken, would
    // put this command's answer behind theirs.
    if (status != msReady || mysql_more_results())
        return fail(clientError(CR_COMMANDS_OUT_OF_SYNC));
    if (auto r = m_net.setReceiveTimeout(commandTimeout); !r) return failBroken(r.error());
    m_net.resetSequence();
    return true;
}

bool TMySqlSession::mysql_real_query(std::string_view query) {
    if (!beginCommand()) return false;
    m_net.beginPacket();
    m_net.append(static_cast<std::uint8_t>(scQuery));
    m_net.append(query);
    if (auto r = m_net.sendPacket(); !r) return failBroken(r.error());
    return readResultHead();
}

bool TMySqlSession::readResultHead() {
    m_lastWasOk = false;
    m_result.m_fields.clear();
    auto p = m_net.readPacket();
    if (!p) return failBroken(p.error());
    const auto first = firstByte(*p);
    if (first == kErrorHeader) {
        // An error ends the batch: no further results follow it.
        serverStatus &= static_cast<std::uint16_t>(~SERVER_MORE_RESULTS_EXISTS);
        MySqlError e = readError(*p);
        return e.code == CR_MALFORMED_PACKET ? failBroken(e) : fail(e);
    }
    if (first == kOkHeader) {
        auto ok = readOk(*p, protocol41(), (serverCapabilities & CLIENT_TRANSACTIONS) != 0);
        if (!ok) return failBroken(ok.error());
        applyOk(*ok);
        m_lastWasOk = true;
        status = msReady;
        return true;
    }
    if (first == kLocalInfileHeader) {
        // One refusal per query: a server that asks again is not following the protocol.
        if (m_refusingFile) return failBroken(malformedPacket("second local file request"));
        m_refusingFile = true;
        const bool ok = refuseLocalFile();
        m_refusingFile = false;
        return ok;
    }
    auto count = readColumnCount(*p);
    if (!count) return failBroken(count.error());
    m_result.extraInfo = count->extraInfo.value_or(0);
    if (!readColumnDefinitions(count->count)) return false;
    if (!(serverStatus & SERVER_STATUS_AUTOCOMMIT)) serverStatus |= SERVER_STATUS_IN_TRANS;
    status = msGetResult;
    return true;
}

bool TMySqlSession::readColumnDefinitions(std::uint64_t count) {
    // The count comes from the server: reserve no more than a plausible select list.
    m_result.m_fields.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, 256)));
    std::size_t held = 0;  // memory the definitions take, bounded like a result kept whole
    for (;;) {
        auto p = m_net.readPacket();
        if (!p) return failBroken(p.error());
        if (isErrorPacket(*p)) {
            serverStatus &= static_cast<std::uint16_t>(~SERVER_MORE_RESULTS_EXISTS);
            return fail(readError(*p));
        }
        if (isEofPacket(*p)) {
            auto eof = readEof(*p, protocol41());
            if (!eof) return failBroken(eof.error());
            if (eof->hasStatus) serverStatus = eof->serverStatus;
            break;
        }
        if (m_result.m_fields.size() == count)
            return failBroken(malformedPacket("more column definitions than announced"));
        held += sizeof(TMySqlFieldInfo) + p->size();
        if (held > kMaxResultBytes) return failBroken(resultTooLarge(kMaxResultBytes));
        auto field = readColumnDefinition(*p, protocol41());
        if (!field) return failBroken(field.error());
        m_result.m_fields.push_back(std::move(*field));
    }
    if (m_result.m_fields.size() != count)
        return failBroken(malformedPacket("fewer column definitions than announced"));
    return true;
}

// The server asks for a file of ours (LOAD DATA LOCAL INFILE). Sending it would let a hostile
// server read anything the updater can read, so the client answers with an empty packet (no
// data), takes the server's answer to keep the stream in step, and fails the query.
bool TMySqlSession::refuseLocalFile() {
    if (auto r = m_net.writePacket({}); !r) return failBroken(r.error());
    if (readResultHead() && status != msReady) mysql_free_result(&m_result);
    drainRemainingResults();
    // The server's own answer to the missing data does not matter; a lost connection does.
    if (!m_connected) return false;
    return fail(clientError(CR_LOAD_DATA_LOCAL_INFILE_REJECTED));
}

void TMySqlSession::drainRemainingResults() {
    while (m_connected && mysql_more_results() && status == msReady) {
        if (!readResultHead()) return;
        if (status != msReady) mysql_free_result(&m_result);
    }
}

TMySqlResultSet* TMySqlSession::mysql_use_result() {
    clearError();
    if (m_lastWasOk) return nullptr;
    if (status != msGetResult) {
        fail(clientError(CR_COMMANDS_OUT_OF_SYNC));
        m_error.text += "\r\nmysql.status = " + std::to_string(static_cast<int>(status));
        return nullptr;
    }
    status = msUseResult;
    return &m_result;
}

bool TMySqlSession::endOfRows(std::span<const std::byte> p) {
    auto eof = readEof(p, protocol41());
    if (!eof) return failBroken(eof.error());
    if (eof->hasStatus) {
        warningCount = eof->warningCount;
        serverStatus = eof->serverStatus;
    }
    status = msReady;
    return true;
}

const RowValues* TMySqlSession::mysql_fetch_row(TMySqlResultSet* result) {
    clearError();
    if (result != &m_result || status != msUseResult) return nullptr;
    auto p = m_net.readPacket();
    if (!p) {
        failBroken(p.error());
        return nullptr;
    }
    if (isEofPacket(*p)) {
        endOfRows(*p);
        return nullptr;
    }
    if (isErrorPacket(*p)) {
        // The server gave up during the rows (a killed query, a failing expression).
        status = msReady;
        serverStatus &= static_cast<std::uint16_t>(~SERVER_MORE_RESULTS_EXISTS);
        MySqlError e = readError(*p);
        if (e.code == CR_MALFORMED_PACKET)
            failBroken(e);
        else
            fail(e);
        return nullptr;
    }
    if (auto r = readRow(*p, m_result.fieldCount(), m_result.m_row); !r) {
        failBroken(r.error());
        return nullptr;
    }
    return &m_result.m_row;
}

void TMySqlSession::mysql_free_result(TMySqlResultSet* result) {
    if (result != &m_result) return;
    if (status == msGetResult) status = msUseResult;
    while (status == msUseResult && mysql_fetch_row(result)) {
    }
}

int TMySqlSession::mysql_next_result() {
    clearError();
    if (!m_connected) {
        fail(clientError(CR_SERVER_GONE_ERROR));
        return static_cast<int>(m_error.code);
    }
    if (status != msReady) {
        fail(clientError(CR_COMMANDS_OUT_OF_SYNC));
        return static_cast<int>(m_error.code);
    }
    if (!mysql_more_results()) return -1;
    return readResultHead() ? 0 : static_cast<int>(m_error.code);
}

bool TMySqlSession::executeDiscardingRows(std::string_view query) {
    if (!mysql_real_query(query)) return false;
    for (;;) {
        if (status == msGetResult) {
            mysql_free_result(&m_result);
            if (m_error.code != 0) return false;
        }
        const int next = mysql_next_result();
        if (next == -1) return true;
        if (next != 0) return false;
    }
}

void TMySqlSession::mysql_close() {
    if (m_connected) {
        m_net.resetSequence();
        const char quit = static_cast<char>(scQuit);
        (void)m_net.writePacket(std::string_view(&quit, 1));
    }
    m_net.close();
    m_connected = false;
    status = msReady;
}

}  // namespace db
