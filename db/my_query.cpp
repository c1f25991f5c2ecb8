#include "db/my_query.h"

#include "core/text.h"
#include "db/errors.h"
#include "db/params.h"
#include "db/script.h"

namespace db {

bool TMyField::IsNull() const {
    return !m_query->value(m_index).has_value();
}

std::string TMyField::AsString() const {
    const std::optional<std::string>& v = m_query->value(m_index);
    return v ? *v : std::string();
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
    Connection->Open();
    TMySqlSession& s = *Connection->Session();
    if (!s.mysql_real_query(core::utf8ToCp1252(sql))) raiseMyError(s.error());

    std::vector<TMyField> fields;
    std::vector<Row> rows;
    if (TMySqlResultSet* rs = s.mysql_use_result()) {
        for (std::size_t i = 0; i < rs->fields().size(); ++i)
            fields.push_back(TMyField(this, i, core::cp1252ToUtf8(rs->fields()[i].Name)));
        while (const RowValues* row = s.mysql_fetch_row(rs)) {
            Row r;
            r.reserve(row->size());
            for (const auto& v : *row) {
                if (v)
                    r.emplace_back(core::cp1252ToUtf8(*v));
                else
                    r.emplace_back(std::nullopt);
            }
            rows.push_back(std::move(r));
        }
    }
    if (s.errorNumber() != 0) raiseMyError(s.error());
    // Results of further statements in the text are read and dropped; the first one counts.
    while (s.mysql_more_results()) {
        const int next = s.mysql_next_result();
        if (next == -1) break;
        if (next != 0) raiseMyError(s.error());
        if (TMySqlResultSet* rs = s.mysql_use_result()) s.mysql_free_result(rs);
        if (s.errorNumber() != 0) raiseMyError(s.error());
    }
    m_fields = std::move(fields);
    m_rows = std::move(rows);
    m_current = 0;
    m_active = true;
}

void TMyQuery::Close() {
    m_active = false;
    m_fields.clear();
    m_rows.clear();
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

const std::optional<std::string>& TMyQuery::value(std::size_t column) const {
    static const std::optional<std::string> kNull;
    if (m_current >= m_rows.size() || column >= m_rows[m_current].size()) return kNull;
    return m_rows[m_current][column];
}

}  // namespace db
