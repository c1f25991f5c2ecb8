// TMyQuery: a query component on a TMyConnection. Its SQL lines, with "&name" macros expanded,
// are sent as one text query; the whole result is read into memory and walked row by row.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/macros.h"
#include "db/my_connection.h"
#include "db/mysql_protocol.h"
#include "db/result_rows.h"
#include "db/script_lines.h"

namespace db {

class TMyQuery;

// One column of an open query, read through the query's current row.
class TMyField {
  public:
    const std::string& FieldName() const { return m_name; }
    bool IsNull() const;
    // NULL as "", every other value as the text the server sent (numbers in decimal).
    std::string AsString() const;

  private:
    friend class TMyQuery;
    TMyField(const TMyQuery* query, std::size_t index, std::string name)
        : m_query(query), m_index(index), m_name(std::move(name)) {}
    const TMyQuery* m_query;
    std::size_t m_index;
    std::string m_name;
};

class TMyQuery {
  public:
    explicit TMyQuery(std::string name = {}, TMyConnection* connection = nullptr);
    TMyQuery(const TMyQuery&) = delete;
    TMyQuery& operator=(const TMyQuery&) = delete;

    std::string Name;
    TMyConnection* Connection;
    TScriptLines SQL;  // every change rescans the macros
    TMacros Macros;
    bool FetchAll = true;    // the whole result is always read on Open
    int CommandTimeout = 0;  // no limit
    bool ParamCheck = true;
    // Memory the result may take (rows and fields); more fails Open with EMyError 2008.
    std::size_t MaxResultBytes = kMaxResultBytes;

    // Unknown name: EDatabaseError "NAME: Macro X not found".
    TMacro& MacroByName(std::string_view name) const { return Macros.MacroByName(name, Name); }

    // SQL's lines joined with CR LF, trailing codes below 33 cut, macros expanded.
    std::string FinalSQL() const;
    // Parameter placeholders of FinalSQL (none when ParamCheck is off); never given values.
    std::vector<std::string> Params() const;

    // Opens the connection when closed, sends FinalSQL and reads every row. On failure the
    // exception leaves and the query stays closed. Does nothing when already open.
    void Open();
    void Close();
    bool Active() const { return m_active; }

    bool Eof() const { return m_current >= m_rows.size(); }
    void First() { m_current = 0; }
    void Next() {
        if (m_current < m_rows.size()) ++m_current;
    }
    bool IsEmpty() const { return m_rows.empty(); }
    // Memory the open result holds.
    std::size_t ResultBytes() const;
    int RecordCount() const { return static_cast<int>(m_rows.size()); }

    int FieldCount() const { return static_cast<int>(m_fields.size()); }
    const TMyField& Fields(int i) const { return m_fields.at(static_cast<std::size_t>(i)); }
    // Letter case ignored. Unknown name: EDatabaseError "NAME: Field 'X' not found".
    const TMyField& FieldByName(std::string_view name) const;
    const TMyField* FindField(std::string_view name) const;

  private:
    friend class TMyField;
    void sqlChanged();
    bool isNull(std::size_t column) const;
    std::string_view value(std::size_t column) const;
    // Reads the first result's fields and rows; false (the rest read and dropped) when they
    // need more than MaxResultBytes.
    bool readResult(TMySqlSession& s, std::vector<TMyField>& fields, ResultRows& rows);

    std::optional<LexError> m_scanError;  // the macro scan's failure, raised on use
    bool m_active = false;
    std::vector<TMyField> m_fields;
    ResultRows m_rows;
    std::size_t m_current = 0;
};

}  // namespace db
