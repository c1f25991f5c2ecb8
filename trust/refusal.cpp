#include "trust/refusal.h"

namespace trust {
namespace {

constexpr const char* kRefused = ": aggiornamento rifiutato!";

}  // namespace

std::string refusalText(const TrustError& e) {
    switch (e.refusal) {
        case Refusal::BadPublicKey:
            return "Chiave pubblica per la verifica non valida (" + e.detail + ")" + kRefused;
        case Refusal::SignatureMissing:
            return std::string("Firma del file di versione mancante") + kRefused;
        case Refusal::SignatureUnreadable:
            return "Impossibile scaricare la firma del file di versione (" + e.detail + ")" +
                   kRefused;
        case Refusal::SignatureMalformed:
            return std::string("Firma del file di versione non leggibile") + kRefused;
        case Refusal::SignatureWrong:
            return std::string("Firma del file di versione non valida") + kRefused;
        case Refusal::VersionFileMalformed:
            return "File di versione non valido (" + e.detail + ")" + kRefused;
        case Refusal::Expired:
            return "File di versione scaduto il " + e.detail + kRefused;
        case Refusal::Replayed:
            return "File di versione precedente all'ultimo accettato (SEQ " + e.detail + ")" +
                   kRefused;
        case Refusal::StateUnreadable:
            return "File di stato degli aggiornamenti non leggibile (" + e.detail + ")" + kRefused;
        case Refusal::StateNotSaved:
            return "Impossibile salvare il file di stato degli aggiornamenti (" + e.detail + ")" +
                   kRefused;
        case Refusal::PackageSize:
            return "Dimensione del pacchetto diversa da quella firmata (" + e.detail + ")" +
                   kRefused;
        case Refusal::PackageDigest:
            return std::string("SHA-256 del pacchetto diverso da quello firmato") + kRefused;
        case Refusal::PackageUnreadable:
            return "Impossibile leggere il pacchetto scaricato (" + e.detail + ")" + kRefused;
    }
    return {};
}

std::string verifiedText(unsigned long long seq) {
    return "Aggiornamento verificato: firma valida, SEQ " + std::to_string(seq);
}

}  // namespace trust
