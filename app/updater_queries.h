// The texts of the updater's four queries on its connection MyLibs, exactly as the updater
// declares them (three use the macro "database").
#pragma once

namespace app {

inline constexpr const char* kSqlDitte = "SELECT * FROM librerie ORDER BY nome ASC";
inline constexpr const char* kSqlVersione = "SELECT * FROM &database";
inline constexpr const char* kSqlTriggersServer =
    "show triggers in &database where `Trigger`='tri_TADIMA00';";
inline constexpr const char* kSqlTriggersClient =
    "show triggers in &database where `Trigger`='tci_TADIMA00';";

}  // namespace app
