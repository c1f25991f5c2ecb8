// The texts the session shows and logs, exactly as the user sees them.
#pragma once

#include <string_view>

namespace app {

inline constexpr std::string_view kTextPathInvalid =
    "Percorso Applicazione non valido, Clicca sull'immagine per selezionare il reale percorso";
inline constexpr std::string_view kTextCheckUpdateFailed =
    "Impossibile verificare l'aggiornamento!";
// Every run log line starts with this.
inline constexpr std::string_view kLogPrefix = ">> ";
// The HTTP client's Request.UserAgent, set when the window is created.
inline constexpr std::string_view kUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 6.0; it; rv:1.8.1.12)";

}  // namespace app

namespace app {

inline constexpr std::string_view kTextDownloading = "Download aggiornamento in corso...";
inline constexpr std::string_view kTextExtracting = "Estrazione aggiornamento in corso...";
inline constexpr std::string_view kTextDownloadFailed = "Problemi nel download dell'aggiornamento.";
// The package download's own lines: an interruption followed by a retry ("Download interrotto: "
// the client's text " (nuovo tentativo 2 di 5 tra 1000 ms)"), the last interruption's text
// when the attempts are used up, a package found in the package cache.
inline constexpr std::string_view kTextDownloadInterrupted = "Download interrotto: ";
inline constexpr std::string_view kTextDownloadRetry = " (nuovo tentativo ";
inline constexpr std::string_view kTextDownloadGaveUp = "Download non riuscito: ";
inline constexpr std::string_view kTextCachedPackage = "Uso il pacchetto già scaricato: ";
// A cached package that failed its check, and why (the signed release's refusal, the first
// entry that could not be extracted); it is downloaded again.
inline constexpr std::string_view kTextCachedPackageRefused =
    "Pacchetto già scaricato scartato, nuovo download: ";
inline constexpr std::string_view kTextUnreadableArchive = "archivio non leggibile";
inline constexpr std::string_view kTextInstallOk = "Aggiornamento effetuato con successo";
inline constexpr std::string_view kTextInstallOkQuestion =
    "Aggiornamento effetuato con successo,chiudere il programma di aggiornamento?";
inline constexpr std::string_view kTextInstallFailed =
    "Problemi nell'installazione dell'aggiornamento";
inline constexpr std::string_view kTextInstallFailedNotice =
    "Problemi nell'installazione dell'aggiornamento!";
inline constexpr std::string_view kErrorStars = "*********************************************";

}  // namespace app
