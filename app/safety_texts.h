// The texts of the installation lock, the staged install and its rollback, and the download
// cache, as the user sees them (page texts, run log lines, console lines).
#pragma once

#include <string_view>

namespace app {

inline constexpr std::string_view kTextInstallLocked =
    "Aggiornamento già in corso su questa installazione";
inline constexpr std::string_view kTextLockFailed = "Impossibile bloccare l'installazione";

}  // namespace app

namespace app {

// The company's lock on the server.
inline constexpr std::string_view kLogCompanyWaiting =
    "Attesa: la ditta è in aggiornamento da un altro programma: ";
inline constexpr std::string_view kLogCompanyBusy =
    "Ditta in aggiornamento da un altro programma, script non eseguiti";
inline constexpr std::string_view kLogCompanyLockUnavailable =
    "Blocco della ditta non disponibile, script eseguiti senza blocco: ";
inline constexpr std::string_view kLogCompanyVidChanged = "Current VID (letto di nuovo) = ";

}  // namespace app
