#pragma once
// The stamp list of the TIFF viewers: the stamp documents of the pseudo record "dokseals" / 0,
// read once per process and shared by every viewer. A stamp's name is its document's path, its
// password the document's ident (empty: none); its picture is the document's stored file, read
// from the store when first asked for and kept.

#include <QByteArray>
#include <QStringList>

class QObject;
class TDokument;
class TFileViewerFrameTIFF;

class TImageListLoader final {
public:
    TImageListLoader() = delete;

    // Loads the list unless it is loaded (without a database there are no stamps), then gives the
    // viewer its picture source and the stamp names for its chooser.
    static void LoadImages(TFileViewerFrameTIFF* ImageFrame);
    // Loads the list unless it is loaded; a failure leaves no list behind and passes on.
    static void EnsureLoaded();
    // One line per stamp: the name, a tab, a blank and the password.
    static QStringList DokImageList();
    // The stamp names in the list's order.
    static QStringList Names();
    static TDokument* DokImageReader();
    // Frees list, cached pictures and document object.
    static void Unload();

    // The stamp's picture bytes. A stamp the database no longer has: EImagesException 17194; a
    // name the list does not hold: empty.
    static QByteArray GetImage(QObject* sender, const QString& imageName);
    static bool HasPassword(const QString& imageName);
    // Asks for the stamp's password when it has one; a wrong answer, a cancelled dialog or none
    // that may be shown ends the action with the critical error "Passwort falsch" (4762).
    static void CheckPassword(const QString& imageName);
};
