#include "host/shell_errors.h"

namespace host {

std::string_view ShellErrorText(int code) {
    switch (code) {
        case kDeSameFile:
            return "I file di origine e di destinazione sono lo stesso file";
        case kDeManySrc1Dest:
            return "Percorsi di file multipli sono stati specificati nel buffer di origine, ma "
                   "solo un percorso file di destinazione";
        case kDeDiffDir:
            return "Operazione Rename è stato specificato, ma il percorso di destinazione è una "
                   "directory diversa. Utilizzare l'operazione di spostamento";
        case kDeRoot:
            return "La fonte è una directory root, che non può essere spostato o rinominato";
        case kDeOpCancelled:
            return "L'operazione è stata annullata dall'utente, o in silenzio cancellata se i "
                   "flag appropriati sono stati forniti al SHFileOperation";
        case kDeDestSubtree:
            return "La destinazione è una sottostruttura della fonte";
        case kDeAccessDeniedSrc:
            return "Le impostazioni di protezione negato l'accesso alla fonte";
        case kDePathTooDeep:
            return "La sorgente o il percorso di destinazione supera o supera MAX_PATH";
        case kDeManyDest:
            return "L'operazione ha comportato percorsi di destinazione multipli, che possono "
                   "fallire, nel caso di un'operazione di spostamento";
        case kDeInvalidFiles:
            return "Il percorso di origine o di destinazione o di entrambi non è valido";
        case kDeDestSameTree:
            return "L'origine e di destinazione hanno la stessa cartella principale";
        case kDeFlDestIsDir:
            return "Il percorso di destinazione è un file esistente";
        case kDeFileDestIsFld:
            return "Il percorso di destinazione è una cartella esistente";
        case kDeFileNameTooLong:
            return "Il nome del file supera MAX_PATH";
        case kDeDestIsCdRom:
            return "La destinazione è una sola lettura CD-ROM, forse non formattato";
        case kDeDestIsDvd:
            return "La destinazione è un DVD di sola lettura, forse non formattato";
        case kDeDestIsCdRecord:
            return "La destinazione è un CD-ROM scrivibile, forse non formattato";
        case kDeFileTooLarge:
            return "Il file coinvolti nell'operazione è troppo grande per il supporto di "
                   "destinazione o del file system";
        case kDeSrcIsCdRom:
            return "La fonte è una sola lettura CD-ROM, forse non formattato";
        case kDeSrcIsDvd:
            return "La fonte è un DVD di sola lettura, forse non formattato";
        case kDeSrcIsCdRecord:
            return "La sorgente è un CD-ROM scrivibile, forse non formattato";
        case kDeErrorMaxPath:
            return "MAX_PATH stato superato durante l'operazione";
        case kDeUnknownError:
            return "Errore Sconosciuto";
        case kErrorOnDest:
            return "Errore non specificato nella destinazione";
        case kDeRootDir:
            return "Destinazione è una directory principale e non possono essere rinominati";
        default:
            return "";
    }
}

}  // namespace host
