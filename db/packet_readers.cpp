#include "db/packet_readers.h"

#include "core/byte_cursor.h"
#include "db/mysql_protocol.h"

namespace db {

namespace {

core::Unexpected<MySqlError> malformed(const core::ByteCursor& c) {
    return core::fail(malformedPacket(c.error()));
}

}  // namespace

std::optional<std::uint8_t> firstByte(Payload p) {
    if (p.empty()) return std::nullopt;
    return std::to_integer<std::uint8_t>(p[0]);
}

bool isErrorPacket(Payload p) {
    return firstByte(p) == kErrorHeader;
}

bool isEofPacket(Payload p) {
    return firstByte(p) == kEofHeader && p.size() <= kMaxEofPacket;
}

// Greeting of protocol 10: version, zero-terminated server version, thread id, the first 8
// scramble bytes and a filler. Older 4.0 servers may stop there or after the capabilities;
// language, status, the upper capabilities, the scramble length and 10 reserved bytes follow
// (19 bytes after the first scramble part), then the other 12 scramble bytes.
core::Result<Handshake, MySqlError> readHandshake(Payload p) {
    if (isErrorPacket(p)) return core::fail(readError(p));
    core::ByteCursor c(p);
    Handshake h;
    h.protocolVersion = c.u8();
    if (!c.ok()) return malformed(c);
    if (h.protocolVersion != kProtocolVersion) return core::fail(versionError(h.protocolVersion));
    h.serverVersion = std::string(c.readUntil(std::byte{0}));
    h.threadId = c.u32le();
    h.scramble = std::string(c.text(kScrambleLength323));
    if (!c.ok()) return malformed(c);
    const std::size_t afterScramble = c.offset();
    c.skip(1);  // filler
    if (c.remaining() >= 2) h.serverCapabilities = c.u16le();
    if (p.size() >= afterScramble + 18) {
        h.serverLanguage = c.u8();
        h.serverStatus = c.u16le();
    }
    if (p.size() >= afterScramble + 19 + 12) {
        c.seek(afterScramble + 19);
        h.scramble += c.text(kScrambleLength - kScrambleLength323);
    }
    if (!c.ok()) return malformed(c);
    return h;
}

core::Result<OkPacket, MySqlError> readOk(Payload p, bool protocol41, bool transactions) {
    core::ByteCursor c(p);
    OkPacket ok;
    if (c.u8() != kOkHeader) c.setError("OK packet does not start with 0x00");
    ok.affectedRows = c.lenencInt();
    ok.insertId = c.lenencInt();
    if (protocol41 || transactions) {
        ok.serverStatus = c.u16le();
        ok.hasStatus = true;
    }
    if (protocol41) ok.warningCount = c.u16le();
    if (!c.ok()) return malformed(c);
    // 4.1 servers send the information text length-coded; when the bytes do not read that way
    // (older servers), the rest up to a zero byte or the end is the text.
    if (protocol41 && !c.atEnd()) {
        core::ByteCursor lengthCoded(c.rest());
        std::string_view text = lengthCoded.lenencString();
        if (lengthCoded.ok()) {
            ok.info = std::string(text);
            return ok;
        }
        c.seek(c.offset() - lengthCoded.size());
    }
    ok.info = std::string(c.readUntilOrEnd(std::byte{0}));
    return ok;
}

core::Result<EofPacket, MySqlError> readEof(Payload p, bool protocol41) {
    core::ByteCursor c(p);
    EofPacket eof;
    if (c.u8() != kEofHeader) c.setError("end-of-data packet does not start with 0xFE");
    if (protocol41) {
        eof.warningCount = c.u16le();
        eof.serverStatus = c.u16le();
        eof.hasStatus = true;
    }
    if (!c.ok()) return malformed(c);
    return eof;
}

MySqlError readError(Payload p) {
    core::ByteCursor c(p);
    if (c.u8() != kErrorHeader) c.setError("error packet does not start with 0xFF");
    unsigned code = c.u16le();
    if (!c.ok()) return malformedPacket(c.error());
    std::string_view message = c.readUntilOrEnd(std::byte{0});
    // Codes of the client's own table keep the table's text in front of the server's.
    const char* table = clientErrorFormat(code);
    std::string text = table ? table : "";
    return {code, text + "\r\n" + std::string(message), {}};
}

core::Result<ColumnCount, MySqlError> readColumnCount(Payload p) {
    core::ByteCursor c(p);
    ColumnCount cc;
    cc.count = c.lenencInt();
    if (c.ok() && !c.atEnd()) cc.extraInfo = c.lenencInt();
    if (!c.ok()) return malformed(c);
    // A count no table or select list can reach is a hostile or broken packet.
    if (cc.count == 0 || cc.count > kMaxColumns) return core::fail(malformedPacket("column count"));
    return cc;
}

namespace {

// Pre-4.1 column: table, name, then length (3 bytes), type (1) and flags with decimals (2 or
// 3 bytes), each behind its own length byte; optionally a default value.
void readOldColumn(core::ByteCursor& c, TMySqlFieldInfo& f) {
    f.Table = std::string(c.lenencString());
    f.OrgTable = f.Table;
    f.Name = std::string(c.lenencString());
    f.OrgName = f.Name;
    core::ByteCursor length(core::asBytes(c.lenencString()));
    f.Length = length.u24le();
    core::ByteCursor type(core::asBytes(c.lenencString()));
    f.Type = type.u8();
    std::string_view flagBytes = c.lenencString();
    core::ByteCursor flags(core::asBytes(flagBytes));
    f.Flags = flagBytes.size() >= 3 ? flags.u16le() : flags.u8();
    f.Scale = flags.u8();
    if (!length.ok() || !type.ok() || !flags.ok()) c.setError("short pre-4.1 column attribute");
    if (c.ok() && !c.atEnd()) f.DefaultValue = std::string(c.lenencString());
}

}  // namespace

// Protocol 4.1 column: catalog, database, table alias, table, column alias, column as
// length-coded texts, the length of the fixed part (0x0C), character set (2), length (4),
// type (1), flags (2), decimals (1), two filler bytes.
core::Result<TMySqlFieldInfo, MySqlError> readColumnDefinition(Payload p, bool protocol41) {
    core::ByteCursor c(p);
    TMySqlFieldInfo f;
    if (!protocol41) {
        readOldColumn(c, f);
        if (!c.ok()) return malformed(c);
        return f;
    }
    c.lenencString();  // catalog, always "def"
    f.Database = std::string(c.lenencString());
    f.Table = std::string(c.lenencString());
    f.OrgTable = std::string(c.lenencString());
    f.Name = std::string(c.lenencString());
    f.OrgName = std::string(c.lenencString());
    std::uint64_t fixed = c.lenencInt();
    if (c.ok() && fixed < 10)
        c.setError("column fixed part of " + std::to_string(fixed) + " bytes");
    f.CharsetNr = c.u16le();
    f.Length = c.u32le();
    f.Type = c.u8();
    f.Flags = c.u16le();
    f.Scale = c.u8();
    if (!c.ok()) return malformed(c);
    return f;
}

core::Result<void, MySqlError> readRow(Payload p, std::size_t columns, RowValues& out) {
    core::ByteCursor c(p);
    out.resize(columns);
    for (std::size_t i = 0; i < columns && c.ok(); ++i) {
        if (c.peek() == kNullValue) {
            c.skip(1);
            out[i] = std::nullopt;
        } else {
            out[i] = c.lenencString();
        }
    }
    if (c.ok() && !c.atEnd()) c.setError("row has bytes after its last column");
    if (!c.ok()) return malformed(c);
    return core::Ok{};
}

}  // namespace db
