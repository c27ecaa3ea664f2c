#include "Ubarcode.h"

namespace Ubarcode {

QString DokumentEventModeText(TDokumentEventMode mode) {
    const char* text = "";
    switch (mode) {
    case demNewDokument: text = "neues Dokument"; break;
    case demNewRevision: text = "neue Revision"; break;
    case demCloseSaved: text = "geschlossen, gespeichert"; break;
    case demCloseUnsaved: text = "geschlossen, nicht gespeichert"; break;
    case demPreview: text = "Scanvorschau"; break;
    default: text = "unbekannt"; break;
    }
    return QStringLiteral("%1 (%2)").arg(int(mode)).arg(QString::fromLatin1(text));
}

} // namespace Ubarcode
