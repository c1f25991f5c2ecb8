// The texts of the installation lock, the staged install and its rollback, and the download
// cache, as the user sees them (page texts, run log lines, console lines).
#pragma once

#include <string_view>

namespace app {

inline constexpr std::string_view kTextInstallLocked =
    "Aggiornamento già in corso su questa installazione";
inline constexpr std::string_view kTextLockFailed = "Impossibile bloccare l'installazione";

// The staged install, its recovery at the next start and the rollback.
inline constexpr std::string_view kUnknownVersion = "precedente";
inline constexpr std::string_view kLogInstallRestored =
    "Copia non riuscita: ripristinati i file della versione precedente";
inline constexpr std::string_view kLogInstallNotRestored =
    "Ripristino non riuscito, sarà ripetuto al prossimo avvio: ";
inline constexpr std::string_view kLogRecoveredInstall =
    "Aggiornamento interrotto trovato: ripristinata la versione ";
inline constexpr std::string_view kLogCompletedInstall =
    "Aggiornamento interrotto trovato: completata l'installazione della versione ";
inline constexpr std::string_view kLogCompletedRollback =
    "Ripristino interrotto trovato: completato il ritorno alla versione ";
inline constexpr std::string_view kLogRecoveryFailed =
    "Ripristino dell'installazione non riuscito: ";
inline constexpr std::string_view kTextRecoveryFailed =
    "Ripristino di un aggiornamento interrotto non riuscito";
inline constexpr std::string_view kLogNoBackup = "Nessuna copia di sicurezza da ripristinare";
inline constexpr std::string_view kLogRolledBack = "Ripristinata la versione ";
inline constexpr std::string_view kLogRollbackFailed =
    "Ripristino non riuscito, sarà ripetuto al prossimo avvio: ";
inline constexpr std::string_view kLogScriptsNotUndone =
    "Attenzione: gli script già eseguiti sui database delle ditte NON vengono annullati";

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
