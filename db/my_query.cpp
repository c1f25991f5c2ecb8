#include "db/my_query.h"

#include "core/text.h"
#include "db/connection_charset.h"
#include "db/errors.h"
#include "db/params.h"
#include "db/script.h"

namespace db {

bool TMyField::IsNull() const {
    return m_query->isNull(m_index);
}

std::string TMyField::AsString() const {
    return std::string(m_query->value(m_index));
}

TMyQuery::TMyQuery(std::string name, TMyConnection* connection)
    : Name(std::move(name)), Connection(connection), SQL([this] { sqlChanged(); }) {}

void TMyQuery::sqlChanged() {
    auto r = Macros.Scan(SQL.Text());
    if (r)
        m_scanError.reset();
    else
        m_scanError = r.error();
}

std::string TMyQuery::FinalSQL() const {
    if (m_scanError) raiseParserError(*m_scanError);
    std::string text = core::TrimRightBelow(SQL.Text(), 33);
    if (Macros.Count() == 0) return text;
    auto expanded = Macros.Expand(text);
    if (!expanded) raiseParserError(expanded.error());
    return std::move(*expanded);
}

std::vector<std::string> TMyQuery::Params() const {
    const std::string text = FinalSQL();
    if (!ParamCheck || text.find(':') == std::string::npos) return {};
    auto r = findParams(text);
    if (!r) raiseParserError(r.error());
    return std::move(*r);
}

void TMyQuery::Open() {
    if (m_active) return;
    if (!Connection) raiseDatabaseError(Name, "Connection not defined");
    const std::string sql = FinalSQL();
    (void)Params();  // a lexer failure in the text stops the query before it is sent
    const std::string bytes = toConnectionTextOrRaise(Name, sql, "The query");
    Connection->Open();
    TMySqlSession& s = *Connection->Session();
    if (!s.mysql_real_query(bytes)) raiseMyError(s.error());

    std::vector<TMyField> fields;
    ResultRows rows;
    const bool fits = readResult(s, fields, rows);
    if (s.errorNumber() != 0) raiseMyError(s.error());
    // Results of further statements in the text are read and dropped; the first one counts.
    while (s.mysql_more_results()) {
        const int next = s.mysql_next_result();
        if (next == -1) break;
        if (next != 0) raiseMyError(s.error());
        if (TMySqlResultSet* rs = s.mysql_use_result()) s.mysql_free_result(rs);
        if (s.errorNumber() != 0) raiseMyError(s.error());
    }
    if (!fits) raiseMyError(resultTooLarge(MaxResultBytes));
    m_fields = std::move(fields);
    m_rows = std::move(rows);
    m_current = 0;
    m_active = true;
}

namespace {

std::size_t fieldCost(const TMyField& f) {
    return sizeof(TMyField) + f.FieldName().size();
}

}  // namespace

bool TMyQuery::readResult(TMySqlSession& s, std::vector<TMyField>& fields, ResultRows& rows) {
    TMySqlResultSet* rs = s.mysql_use_result();
    if (!rs) return true;
    std::size_t fieldBytes = 0;
    for (std::size_t i = 0; i < rs->fields().size(); ++i) {
        fields.push_back(TMyField(this, i, fromConnectionText(rs->fields()[i].Name)));
        fieldBytes += fieldCost(fields.back());
    }
    if (fieldBytes > MaxResultBytes) {
        s.mysql_free_result(rs);
        return false;
    }
    rows = ResultRows(fields.size(), MaxResultBytes - fieldBytes);
    while (const RowValues* row = s.mysql_fetch_row(rs)) {
        if (!rows.add(*row, appendFromConnectionText)) {
            // The rest is read and dropped, so the session stays in step for the next command.
            s.mysql_free_result(rs);
            return false;
        }
    }
    return true;
}

std::size_t TMyQuery::ResultBytes() const {
    std::size_t n = m_rows.bytesHeld();
    for (const TMyField& f : m_fields) n += fieldCost(f);
    return n;
}

void TMyQuery::Close() {
    m_active = false;
    m_fields.clear();
    m_rows = ResultRows();
    m_current = 0;
}

const TMyField* TMyQuery::FindField(std::string_view name) const {
    const std::string wanted = core::asciiLower(name);
    for (const TMyField& f : m_fields)
        if (core::asciiLower(f.FieldName()) == wanted) return &f;
    return nullptr;
}

const TMyField& TMyQuery::FieldByName(std::string_view name) const {
    if (const TMyField* f = FindField(name)) return *f;
    raiseDatabaseError(Name, "Field '" + std::string(name) + "' not found");
}

bool TMyQuery::isNull(std::size_t column) const {
    if (m_current >= m_rows.size() || column >= m_rows.columns()) return true;
    return m_rows.isNull(m_current, column);
}

std::string_view TMyQuery::value(std::size_t column) const {
    if (m_current >= m_rows.size() || column >= m_rows.columns()) return {};
    return m_rows.value(m_current, column);
}

}  // namespace db
