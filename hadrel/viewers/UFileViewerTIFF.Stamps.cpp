#include "UFileViewerTIFF.Stamps.h"

#include "UFileViewerTIFF.h"

#include <Dataclient_files.h>
#include <Korvexutils.h>
#include <RtlDialog.h>
#include <UDM1.h>
#include <UFileViewerTIFF.Pages.h>
#include <Ukorvexclasses.Dokument.h>

#include <UnitTable.h>

#include <QBuffer>
#include <QHash>

#include <memory>

namespace {

struct StampList {
    std::unique_ptr<TDokument> reader;
    QStringList lines;                // "name\t password"
    QHash<QString, QByteArray> cache; // pictures read so far
};

std::unique_ptr<StampList>& state() {
    static std::unique_ptr<StampList> s;
    return s;
}

const QString* lineOf(const QString& name) {
    if (!state())
        return nullptr;
    const QString prefix = name + u'\t';
    for (const QString& line : std::as_const(state()->lines))
        if (line.startsWith(prefix))
            return &line;
    return nullptr;
}

} // namespace

void TImageListLoader::LoadImages(TFileViewerFrameTIFF* ImageFrame) {
    if (DM1() && DM1()->Connected())
        EnsureLoaded();
    ImageFrame->SetOnGetImage([](TFileViewerFrameTIFF* Sender, const QString& name,
                                 QIODevice* Stream) { Stream->write(GetImage(Sender, name)); });
    ImageFrame->SetImageList(Names());
}

void TImageListLoader::EnsureLoaded() {
    if (state())
        return;
    auto list = std::make_unique<StampList>();
    list->reader = std::make_unique<TDokument>();
    list->reader->AssignToRecNo(QStringLiteral("dokseals"), QStringLiteral("0"), nullptr, {}, false,
                                false);
    for (list->reader->First(); !list->reader->Eof(); list->reader->Next()) {
        const QString name = list->reader->Path();
        if (name.isEmpty())
            continue;
        // The value keeps a leading blank, so a stamp without password still has a line.
        const QString line = name + QStringLiteral("\t ") + list->reader->DokIdent();
        bool known = false;
        for (QString& l : list->lines)
            if (l.startsWith(name + u'\t')) {
                l = line;
                known = true;
            }
        if (!known)
            list->lines.append(line);
    }
    state() = std::move(list);
}

QStringList TImageListLoader::DokImageList() {
    return state() ? state()->lines : QStringList();
}

QStringList TImageListLoader::Names() {
    QStringList names;
    for (const QString& line : DokImageList())
        names.append(line.left(line.indexOf(u'\t')));
    return names;
}

TDokument* TImageListLoader::DokImageReader() {
    return state() ? state()->reader.get() : nullptr;
}

void TImageListLoader::Unload() {
    state().reset();
}

QByteArray TImageListLoader::GetImage(QObject* sender, const QString& imageName) {
    Q_UNUSED(sender);
    EnsureLoaded();
    StampList& s = *state();
    if (!s.reader->Locate(QString::fromLatin1(TDokument::fnPath), imageName))
        throw EImagesException(
            17194, makeText(17194, QStringLiteral("Grafik in Datenbank nicht gefunden.")));
    if (!lineOf(imageName))
        return {};
    auto cached = s.cache.constFind(imageName);
    if (cached != s.cache.constEnd())
        return *cached;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    DCFileMethods().ReadFile(s.reader->DMSRemoteFilename(), buffer);
    s.cache.insert(imageName, bytes);
    return bytes;
}

bool TImageListLoader::HasPassword(const QString& imageName) {
    const QString* line = lineOf(imageName);
    if (!line)
        return false;
    return line->size() > line->indexOf(u'\t') + 2;
}

void TImageListLoader::CheckPassword(const QString& imageName) {
    if (!HasPassword(imageName))
        return;
    const QString* line = lineOf(imageName);
    const QString password = line->mid(line->indexOf(u'\t') + 2);
    // A cancelled dialog, or none that may be shown, is no answer at all: it never matches.
    const std::optional<QString> answer = RtlDialog::FAskPasswordEx(QString(), imageName);
    if (!answer || *answer != password)
        Korvexutils::RaiseCriticalError(makeText(4762, QStringLiteral("Passwort falsch")));
}

namespace {

void InitUnit() {
    TFileViewerFrameTIFF::StampHasPassword.Set(&TImageListLoader::HasPassword);
}

void FiniUnit() {
    TFileViewerFrameTIFF::StampHasPassword.Reset();
    TImageListLoader::Unload();
}

} // namespace

KORVEX_UNIT("hadrel", "UFileViewerTIFF.Stamps", InitUnit, FiniUnit);
