// Pages that come from image files, quarter turns of a page with its annotations, the
// related-documents panel, and what the ribbon's tab change does to the strip and the input mode.
#include "UFileViewerTIFF.h"

#include <EventGuard.h>
#include <Korvexutils.h>
#include <TVoskRibbon.h>
#include <UDM1.h>
#include <Vcl.Services.h>
#include <view/TImageEnVect.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QTableWidget>
#include <QToolButton>

namespace {

const QString kLoadSource = QStringLiteral("TFileViewerFrameTIFF.btEditLoadClick");

// A picture from a file in a form a page is stored in: black and white, grey or colour, its
// transparent parts on white paper as the page writer puts them.
QImage storable(const QImage& picture) {
    if (picture.format() == QImage::Format_Mono || picture.format() == QImage::Format_MonoLSB)
        return picture;
    const QImage image = Imaging::FlattenOnWhite(picture);
    if (image.isGrayscale())
        return image.convertToFormat(QImage::Format_Grayscale8);
    return image.convertToFormat(QImage::Format_RGB888);
}

} // namespace

void TFileViewerFrameTIFF::buildFileCommands() {
    btEditLoad = commandButton(tbEdit, "btEditLoad", QStringLiteral("Datei laden"), "document-open",
                               QStringLiteral("Seiten aus Bilddateien hinzufügen"), false);
    btEditRotateLeft = commandButton(tbEdit, "btEditRotateLeft", QStringLiteral("Links drehen"),
                                     "object-rotate-left", QStringLiteral("Die Seite nach links drehen"), false);
    btEditRotateRight = commandButton(tbEdit, "btEditRotateRight", QStringLiteral("Rechts drehen"),
                                      "object-rotate-right", QStringLiteral("Die Seite nach rechts drehen"),
                                      false);
    bindCommand(btEditLoad, &TFileViewerFrameTIFF::btEditLoadClick);
    bindCommand(btEditRotateLeft, &TFileViewerFrameTIFF::btEditRotateLeftClick);
    bindCommand(btEditRotateRight, &TFileViewerFrameTIFF::btEditRotateRightClick);
    gridRelatedDoks = BuildRelatedDoksGrid(gbRelatedDoks);
    gbOpenWorkflow->hide();
    connect(ribMenu, &TVoskRibbon::ActiveTabChanged, this,
            [this] { Rtl::Guarded([&] { ribMenuTabChanged(ribMenu); }, this); });
}

// ---------------------------------------------------------------------------------------------
// Pages from files

QString TFileViewerFrameTIFF::LoadFilter() {
    QString filter;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString ext = QString::fromLatin1(format).toLower();
        filter += ext.toUpper() + QStringLiteral("|*.") + ext + u'|';
    }
    if (!filter.contains(QStringLiteral("*.tiff"), Qt::CaseInsensitive))
        filter.replace(QStringLiteral("*.tif|"), QStringLiteral("*.tif;*.tiff|"));
    return QStringLiteral("All Images (jpeg png tiff bmp svg)|*.jpeg;*.jpg;*.jpe;*.jp2;*.j2k;*.jpc;"
                          "*.j2c;*.png;*.tiff;*.tif;*.bmp;*.pcx;*.wbmp;*.gif;*.svg|") +
           filter.left(filter.size() - 1);
}

int TFileViewerFrameTIFF::loadFile(const QString& file) {
    TPageList* list = m_pages->imOverview();
    const QString shortName = QFileInfo(file).fileName();
    const auto addPage = [&](const QByteArray& tiff, const Imaging::TIOParams& params,
                             const QString& codeSource) {
        const int index = list->AppendImage();
        TPageData* data = TPageData::_Get(list, index, -1);
        list->Params(index) = params;
        PagesLogEvent(kLoadSource);
        CheckImageFormatAndSetName(index, codeSource);
        data->CurImage = tiff;
        list->SetImageInfoText(index, TDM1::FormatLogText(makeText(17114, QStringLiteral("Seite %d")),
                                                          {QString::number(m_pages->FNewPage + 1)}));
        data->Loadet = true;
        ++m_pages->FNewPage;
        return index;
    };
    int last = -1;
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == u"tif" || suffix == u"tiff") {
        const int first = list->ImageCount();
        const int newPage = m_pages->FNewPage;
        try {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                throw EImagesException(TDM1::FormatLogText(QStringLiteral("Fehler beim Lesen von Datei \"%s\"."), {file}));
            const QByteArray bytes = f.readAll();
            std::optional<Imaging::TTiffReader> reader;
            int count = 0;
            try {
                reader.emplace(bytes);
                count = reader->PageCount();
            } catch (const Imaging::ETiffError&) {
                throw EImagesException(TDM1::FormatLogText(QStringLiteral("Fehler beim Lesen von Datei \"%s\"."), {file}));
            }
            for (int i = 0; i < count; ++i) {
                try {
                    reader->OpenPage(i);
                    const Imaging::TIOParams params = reader->Params();
                    QByteArray page;
                    if (reader->CanCopyRaw()) {
                        page = reader->ExtractPage();
                    } else {
                        Imaging::TTiffWriter writer;
                        writer.WritePage(reader->Decode(), params);
                        page = writer.Finish();
                    }
                    last = addPage(page, params,
                                   QStringLiteral("%1 (%2 : %3)").arg(kLoadSource, shortName).arg(list->ImageCount()));
                } catch (const EVoskException& e) {
                    throw EImagesException(TDM1::FormatLogText(QStringLiteral("Fehler beim Lesen der Datei \"%s\".\r\n"), {file}) +
                                           e.Message());
                }
            }
            if (count == 0)
                throw EImagesException(TDM1::FormatLogText(QStringLiteral("Fehler beim Lesen von Datei \"%s\"."), {file}));
            return last;
        } catch (const EVoskException& e) {
            // The pages read before the failure go again, so that the first page is not there
            // twice after the fall-back below.
            for (int i = list->ImageCount() - 1; i >= first; --i) {
                TPageData::_Destroy(list, i);
                list->DeleteImage(i);
            }
            m_pages->FNewPage = newPage;
            Korvexutils::ShowError(QStringLiteral("Importiere nur die erste Seite, da TIFF nicht mehrseitig "
                                                  "eingelesen werden konnte.\r\n") +
                                   e.Message());
        }
    }
    QImageReader reader(file);
    const QImage image = reader.read();
    if (image.isNull())
        throw EImagesException(TDM1::FormatLogText(QStringLiteral("Fehler beim Lesen der Datei \"%s\".\r\n"), {file}) +
                               reader.errorString());
    const QImage page = storable(image);
    Imaging::TIOParams params;
    params.PixelFormat = Imaging::PixelFormatOf(page);
    params.TIFF_Compression = Imaging::ioTIFF_UNCOMPRESSED;
    const int index = addPage({}, params, QStringLiteral("%1 (%2)").arg(kLoadSource, file));
    Imaging::TTiffWriter writer;
    writer.WritePage(page, list->Params(index));
    list->UserData(index)->CurImage = writer.Finish();
    return index;
}

void TFileViewerFrameTIFF::btEditLoadClick(QObject*) {
    Vcl::TFileRequest request;
    request.caption = QCoreApplication::applicationName();
    request.filter = LoadFilter();
    request.parent = this;
    QStringList files = Vcl::FileDialogs::Instance().OpenFiles(request);
    if (!files.isEmpty()) {
        checkPageCommand();
        TPageList* list = m_pages->imOverview();
        int last = -1;
        while (!files.isEmpty()) {
            const QString file = files.takeFirst();
            const int before = list->ImageCount();
            try {
                last = loadFile(file);
                if (FDokument && FDokument->InsertData().Source.isEmpty())
                    FDokument->InsertData().Source = QStringLiteral("file");
            } catch (const EVoskException& e) {
                if (list->ImageCount() > before) {
                    TPageData::_Destroy(list, list->ImageCount() - 1);
                    list->DeleteImage(list->ImageCount() - 1);
                }
                Korvexutils::ShowError(e.Message());
                break;
            }
        }
        RefreshTabs();
        if (last >= 0)
            LoadImage(last, true);
    }
    ClearUndo(false);
    ClearStatus(false);
    FormResize(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Quarter turns

void TFileViewerFrameTIFF::rotatePage(double angle) {
    checkPageCommand();
    TPageList* list = m_pages->imOverview();
    const int page = list->SelectedImage();
    TPageData* data = page >= 0 ? list->UserData(page) : nullptr;
    if (!data)
        return;
    RotateToDefault();
    imCurrentPage->Model().Rotate(angle, true, Imaging::clNone);
    // Quarter turns move pixels without changing them: the page keeps its depth and alpha, and
    // the writer puts it on white only where its compression holds no alpha.
    const QImage turned = imCurrentPage->Model().Bitmap();
    Imaging::TTiffWriter writer;
    writer.WritePage(turned, list->Params(page));
    data->CurImage = writer.Finish();
    list->InvalidateImage(page);
    m_pages->SetDecoded(page, turned);
    SaveAnnotationsOfPage(page);
    LoadImage(page, true);
    ClearUndo(false);
    ClearStatus(false);
    FormResize(nullptr);
}

void TFileViewerFrameTIFF::btEditRotateLeftClick(QObject*) { rotatePage(90); }
void TFileViewerFrameTIFF::btEditRotateRightClick(QObject*) { rotatePage(270); }

// ---------------------------------------------------------------------------------------------
// Related documents and the ribbon's tabs

void TFileViewerFrameTIFF::ShowRelatedDokuments() {
    pnRelation->setVisible(FillRelatedDokuments(gridRelatedDoks));
}

void TFileViewerFrameTIFF::ribMenuTabChanged(QObject*) {
    if (ribMenu->Tabs().size() < 8)
        return;
    TVoskRibbonTab* active = ribMenu->ActiveTab();
    if (active == ribMenuEdit)
        FLastAI = LoadAllImages();
    else if (FLastAI && ribMenuEdit->IsTabVisible())
        HideAllImages();
    if (active == ribMenuPage || active == ribMenuEdit) {
        if (!btMouseMove->isChecked() && !btMouseZoom->isChecked())
            SetInputMode(imMove);
    } else if (!btMouseSelect->isChecked() && imCurrentPage->MouseInteract() != Imaging::miNone) {
        SetInputMode(imObjectSelect);
    }
}
