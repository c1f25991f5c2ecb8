// The company table TabMem: an in-memory table of company records in the order they were
// added, either closed (no rows) or open. Phase 1's survey fills it; the grid and phase 3 read it.
#pragma once

#include <cassert>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace app {

struct CompanyRecord {
    std::string DTNAME;   // company name, from librerie.nome (width 40)
    std::string DTDATA;   // schema name, "OSF" + Studio + Ditta (width 20)
    std::string DTVERS;   // version text, from _versione.versione (width 10)
    std::string DTVID;    // version identifier, from _versione.VID (width 20)
    bool DTTRIG = false;  // the server trigger "tri_TADIMA00" exists in the schema
    bool DTTRIN = false;  // the client trigger "tci_TADIMA00" exists in the schema
};

class CompanyTable {
  public:
    // Opening gives an empty open table; closing discards every row.
    void Open() {
        m_rows.clear();
        m_active = true;
    }
    void Close() {
        m_rows.clear();
        m_active = false;
    }
    bool Active() const { return m_active; }

    // Appending to a closed table is a programmer error; a release build drops the record.
    void Append(CompanyRecord record) {
        assert(m_active);
        if (m_active) m_rows.push_back(std::move(record));
    }
    std::size_t RecordCount() const { return m_rows.size(); }
    const std::vector<CompanyRecord>& Rows() const { return m_rows; }

  private:
    std::vector<CompanyRecord> m_rows;
    bool m_active = false;
};

}  // namespace app
