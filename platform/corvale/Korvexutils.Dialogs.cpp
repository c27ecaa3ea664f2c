#include "Korvexutils.Dialogs.h"

#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <UDM1.h>

#include <QDir>
#include <QFileInfo>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>

namespace Korvexutils {

Rtl::HookSlot<bool(const QString&, const QString&, QVariant&, QString&, int, bool, QWidget*,
                   const QString&, const QString&)>
    RaiseInputQuestion;

namespace {

class InputEater final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void WaitBeforeNextInput(bool discardInput) {
    auto* app = QCoreApplication::instance();
    if (!discardInput || !app)
        return;
    InputEater eater;
    app->installEventFilter(&eater);
    // Input typed ahead waits in the event queue: deliver it now into the filter.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    app->removeEventFilter(&eater);
}

void RaiseDelete(const QString& what) {
    const QString text = what.isEmpty() ? QStringLiteral("Datensatz wirklich löschen?")
                                        : QStringLiteral("%1 wirklich löschen?").arg(what);
    if (Vcl::Ask(Vcl::mtConfirmation, QString(), text, Vcl::mbYesNo, Vcl::mbNo) != Vcl::mrYes)
        throw EAbort();
}

QString RaiseSaveDialog(QWidget* owner, const QString& key, const QString& defaultExt,
                        const QString& filter, int& filterIndex, const QString& fileName) {
    Vcl::TFileRequest request;
    request.caption = QStringLiteral("Speichern unter");
    if (TDM1* dm = DM1())
        request.folder = dm->LoadLastVal(QStringLiteral("FileDialogFolder_") + key, {}, false);
    if (request.folder.isEmpty() || !QFileInfo(request.folder).isDir())
        request.folder = QDir::homePath();
    request.fileName = fileName;
    request.filter = filter;
    request.defaultSuffix = defaultExt;
    request.parent = owner;
    request.filterIndex = filterIndex;
    int chosen = filterIndex;
    request.chosenFilter = &chosen;
    const QString name = Vcl::FileDialogs::Instance().SaveFile(request);
    if (!name.isEmpty())
        filterIndex = chosen;
    return name;
}

QStringList RaiseOpenDialog(QWidget* owner, const QString& key, bool multiSelect,
                            const QString& startFolder, const QString& fileName) {
    Vcl::TFileRequest request;
    request.caption = multiSelect ? QStringLiteral("Dateien öffnen") : QStringLiteral("Datei öffnen");
    request.folder = startFolder;
    if (request.folder.isEmpty())
        if (TDM1* dm = DM1())
            request.folder = dm->LoadLastVal(QStringLiteral("FileDialogFolder_") + key, {}, false);
    if (request.folder.isEmpty())
        request.folder = QDir::homePath();
    request.fileName = fileName;
    request.parent = owner;
    QStringList files;
    if (multiSelect)
        files = Vcl::FileDialogs::Instance().OpenFiles(request);
    else if (const QString one = Vcl::FileDialogs::Instance().OpenFile(request); !one.isEmpty())
        files << one;
    if (!files.isEmpty())
        SaveDialogFolder(key, files.first());
    return files;
}

void SaveDialogFolder(const QString& key, const QString& fileName) {
    if (TDM1* dm = DM1())
        dm->SaveLastVal(QStringLiteral("FileDialogFolder_") + key,
                        QFileInfo(fileName).absolutePath(), false);
}

} // namespace Korvexutils
