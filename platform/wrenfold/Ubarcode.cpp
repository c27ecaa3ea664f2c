#include "Ubarcode.h"

namespace Ubarcode {

QString DokumentEventModeText(TDokumentEventMode mode) {
    const char* text = "";
    switch (mode) {
    case TDokumentEventMode::demNewDokument: text = "neues Dokument"; break;
    case TDokumentEventMode::demNewRevision: text = "neue Revision"; break;
    case TDokumentEventMode::demCloseSaved: text = "geschlossen, gespeichert"; break;
    case TDokumentEventMode::demCloseUnsaved: text = "geschlossen, nicht gespeichert"; break;
    case TDokumentEventMode::demPreview: text = "Scanvorschau"; break;
    }
    return QStringLiteral("%1 (%2)").arg(int(mode)).arg(QString::fromLatin1(text));
}

} // namespace Ubarcode
