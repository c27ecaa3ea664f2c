#pragma once
// The data every annotation object of the TIFF viewer carries, and the value rules of the per-page
// annotation XML: names cut to 100 bytes of UTF-8, dates as whole minutes, the text filter.

#include <UFileViewerTIFF.Pages.h>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QDateTime>
#include <QMetaType>
#include <QString>

// Per object. The stored form held 336 bytes; AnnotDataSize is that length, and a data block of
// any other declared length is refused (17116).
struct TAnnotData final {
    qint32 SrcIndex = -1; // child position in the page's XML when read from it, else -1
    quint8 AllowEdit = 1;
    QString Creator;     // at most ShortStringBytes of UTF-8
    double CDate = -1.0; // day count (days since 1899-12-30, local); below 0: not yet set
    QString Editor;
    double EDate = -1.0;
    QString Mask; // an arrow's auto-text mask; an image's stamp name (ImageName)
    quint8 AutoText = 0;

    // The stored payload of an image element: written back unchanged while the object's bitmap is
    // the one it was read into (PayloadKey), and kept whole when it could not be read at all.
    QByteArray Payload;
    qint64 PayloadKey = 0;

    // What a page written by another program or a newer version put into the element beyond what
    // the object shows: attributes of other names, and content with markup (child elements,
    // comments) kept as it stood while the object's text or picture is still the one it gave.
    QList<QPair<QString, QString>> ForeignAttributes;
    QString RawContent; // null: none kept
    QString RawText;    // the object's text (an image's payload) as RawContent gave it

    const QString& ImageName() const { return Mask; }
};
Q_DECLARE_METATYPE(TAnnotData)

inline constexpr int AnnotDataSize = 336;
inline constexpr int ShortStringBytes = 100;
inline constexpr char BarcodeCreator[] = "*Barcode*";

// Cut to at most ShortStringBytes bytes of UTF-8, never inside a character.
QString ShortString(const QString& s);
// "Unbekannte Anmerkung (kind)" (17117): an object or element of a kind the annotations lack.
QString UnknownAnnotationText(const QString& kind);
// Characters below 32 other than CR and LF become blanks.
QString AllowedText(const QString& s);

// Day count of the date form (whole days since 30 December 1899, fraction = time of day).
double DateTimeToDays(const QDateTime& local);
QDateTime DaysToDateTime(double days);
// Round(days * 1440) with halves to even.
qint64 DaysToMinutes(double days);
