#include "Vcl.Services.h"
#include "Vcl.Accessible.h"


#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCommandLinkButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <memory>
#include <utility>

namespace Vcl {

namespace {

struct ButtonInfo {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
};

// mbAll has no standard button; it gets a button of its own.
constexpr ButtonInfo kButtons[] = {
    {mbYes, QMessageBox::Yes},         {mbNo, QMessageBox::No},
    {mbOK, QMessageBox::Ok},           {mbCancel, QMessageBox::Cancel},
    {mbAbort, QMessageBox::Abort},     {mbRetry, QMessageBox::Retry},
    {mbIgnore, QMessageBox::Ignore},   {mbAll, QMessageBox::NoButton},
    {mbNoToAll, QMessageBox::NoToAll}, {mbYesToAll, QMessageBox::YesToAll},
    {mbHelp, QMessageBox::Help},       {mbClose, QMessageBox::Close},
};

constexpr const char* kButtonProperty = "korvexDialogButton";
constexpr const char* kCommandProperty = "korvexDialogCommand";

class DefaultDialogs final : public Dialogs {
public:
    TModalResult Ask(const TQuestion& q) override {
        const std::unique_ptr<QMessageBox> box(NewQuestionBox(q));
        box->exec();
        if (q.checkBoxChecked)
            *q.checkBoxChecked = box->checkBox() && box->checkBox()->isChecked();
        if (QAbstractButton* clicked = box->clickedButton()) {
            if (const QVariant id = clicked->property(kCommandProperty); id.isValid())
                return TModalResult(id.toInt());
            if (const QVariant which = clicked->property(kButtonProperty); which.isValid())
                return ModalResultOf(TMsgDlgBtn(which.toInt()));
        }
        return mrCancel;
    }
};

QString FirstFolder(const TFileRequest& r) {
    if (r.fileName.isEmpty())
        return r.folder;
    return r.folder.isEmpty() ? r.fileName : r.folder + QLatin1Char('/') + r.fileName;
}

class DefaultFileDialogs final : public FileDialogs {
public:
    QString OpenFile(const TFileRequest& r) override {
        return QFileDialog::getOpenFileName(Parent(r), r.caption, FirstFolder(r),
                                            QtFileFilter(r.filter));
    }
    QStringList OpenFiles(const TFileRequest& r) override {
        return QFileDialog::getOpenFileNames(Parent(r), r.caption, FirstFolder(r),
                                             QtFileFilter(r.filter));
    }
    QString SaveFile(const TFileRequest& r) override {
        QFileDialog dlg(Parent(r), r.caption, r.folder, QtFileFilter(r.filter));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(r.defaultSuffix);
        const QStringList filters = dlg.nameFilters();
        if (r.filterIndex > 0 && r.filterIndex <= filters.size())
            dlg.selectNameFilter(filters[r.filterIndex - 1]);
        if (!r.fileName.isEmpty())
            dlg.selectFile(r.fileName);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        if (r.chosenFilter)
            *r.chosenFilter = int(filters.indexOf(dlg.selectedNameFilter())) + 1;
        return dlg.selectedFiles().first();
    }
    QString ChooseFolder(const TFileRequest& r) override {
        return QFileDialog::getExistingDirectory(Parent(r), r.caption, r.folder);
    }

private:
    static QWidget* Parent(const TFileRequest& r) {
        return r.parent ? r.parent : QApplication::activeWindow();
    }
};

class DefaultShell final : public Shell {
public:
    bool Launch(const QString& program, const QStringList& arguments,
                const QString& workingFolder) override {
        return QProcess::startDetached(program, arguments, workingFolder);
    }
    bool OpenUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
    TRunResult Run(const QString& program, const QStringList& arguments, int waitMs) override {
        TRunResult r;
        auto* p = new QProcess;
        p->setProgram(program);
        p->setArguments(arguments);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start();
        if (!p->waitForStarted()) {
            r.errorText = p->errorString();
            delete p;
            return r;
        }
        r.started = true;
        if (p->waitForFinished(waitMs)) {
            r.finished = true;
            r.exitCode = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
            r.errorText = QString::fromLocal8Bit(p->readAllStandardError()).trimmed();
            delete p;
            return r;
        }
        // It goes on without us: its error output is drained so that it never blocks on a full
        // pipe, and the process object goes when the program ends.
        QObject::connect(p, &QProcess::readyReadStandardError, p,
                         [p] { p->readAllStandardError(); });
        QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
        return r;
    }
};

class DefaultClipboard final : public Clipboard {
public:
    QString Text() const override { return QGuiApplication::clipboard()->text(); }
    void SetText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }
};

template <class Service, class Default> struct Slot {
    Service* installed = nullptr;
    Service& Get() {
        static Default fallback;
        return installed ? *installed : fallback;
    }
    Service* Set(Service* s) { return std::exchange(installed, s); }
};

Slot<Dialogs, DefaultDialogs> g_dialogs;
Slot<FileDialogs, DefaultFileDialogs> g_fileDialogs;
Slot<Shell, DefaultShell> g_shell;
Slot<Clipboard, DefaultClipboard> g_clipboard;

} // namespace

TModalResult ModalResultOf(TMsgDlgBtn button) {
    switch (button) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        return mrHelp;
    case mbClose:
        return mrClose;
    case mbNone:
        break;
    }
    return mrNone;
}

QMessageBox* NewQuestionBox(const TQuestion& q) {
    auto* box = new QMessageBox(q.parent ? q.parent : QApplication::activeWindow());
    switch (q.kind) {
    case mtWarning:
        box->setIcon(QMessageBox::Warning);
        break;
    case mtError:
        box->setIcon(QMessageBox::Critical);
        break;
    case mtInformation:
        box->setIcon(QMessageBox::Information);
        break;
    case mtConfirmation:
        box->setIcon(QMessageBox::Question);
        break;
    case mtCustom:
        break;
    }
    box->setWindowTitle(q.caption.isEmpty() ? QApplication::applicationDisplayName() : q.caption);
    // A message is text: a file name or caption such as "<b>x</b>" shows as it is written.
    box->setTextFormat(Qt::PlainText);
    box->setText(q.text);
    SetMessageDescription(box, q.text);
    if (!q.details.isEmpty()) {
        box->setDetailedText(q.details);
        if (!q.detailsCaption.isEmpty())
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QMessageBox::ActionRole)
                    b->setText(q.detailsCaption);
    }
    QPushButton* preselected = nullptr;
    for (const TCommandButton& c : q.commands) {
        auto* b = new QCommandLinkButton(c.caption, c.description, box);
        b->setAccessibleName(c.caption);
        b->setToolTip(c.description.isEmpty() ? c.caption : c.description);
        b->setProperty(kCommandProperty, c.id);
        box->addButton(b, QMessageBox::AcceptRole);
        if (c.id == q.defaultCommand)
            preselected = b;
    }
    // A task dialog's only standard buttons close it; without commands OK stands in for none.
    const TMsgDlgButtons buttons =
        q.buttons ? q.buttons : TMsgDlgButtons(q.commands.isEmpty() ? mbOK : mbCancel);
    QAbstractButton* first = nullptr;
    for (const ButtonInfo& info : kButtons) {
        if (!buttons.testFlag(info.button))
            continue;
        QAbstractButton* b = info.standard == QMessageBox::NoButton
                                 ? box->addButton(QStringLiteral("&Alle"), QMessageBox::YesRole)
                                 : box->addButton(info.standard);
        if (const auto own = q.buttonCaptions.constFind(int(info.button));
            own != q.buttonCaptions.cend())
            b->setText(*own);
        b->setProperty(kButtonProperty, int(info.button));
        if (!first)
            first = b;
        if (info.button == q.defaultButton || (q.defaultButton == mbNone && b == first))
            if (auto* push = qobject_cast<QPushButton*>(b))
                box->setDefaultButton(push);
    }
    if (preselected)
        box->setDefaultButton(preselected);
    if (!q.checkBoxCaption.isEmpty()) {
        auto* check = new QCheckBox(q.checkBoxCaption, box);
        check->setAccessibleName(QString(q.checkBoxCaption).remove(u'&'));
        check->setToolTip(q.checkBoxHint.isEmpty() ? check->accessibleName() : q.checkBoxHint);
        box->setCheckBox(check);
    }
    return box;
}

Dialogs& Dialogs::Instance() {
    return g_dialogs.Get();
}
Dialogs* Dialogs::SetInstance(Dialogs* d) {
    return g_dialogs.Set(d);
}
FileDialogs& FileDialogs::Instance() {
    return g_fileDialogs.Get();
}
FileDialogs* FileDialogs::SetInstance(FileDialogs* d) {
    return g_fileDialogs.Set(d);
}
Shell& Shell::Instance() {
    return g_shell.Get();
}
Shell* Shell::SetInstance(Shell* s) {
    return g_shell.Set(s);
}
Clipboard& Clipboard::Instance() {
    return g_clipboard.Get();
}
Clipboard* Clipboard::SetInstance(Clipboard* c) {
    return g_clipboard.Set(c);
}

TModalResult Ask(TMsgDlgType kind, const QString& caption, const QString& text,
                 TMsgDlgButtons buttons, TMsgDlgBtn defaultButton, const QString& details,
                 QWidget* parent) {
    TQuestion q;
    q.kind = kind;
    q.caption = caption;
    q.text = text;
    q.buttons = buttons;
    q.defaultButton = defaultButton;
    q.details = details;
    q.parent = parent;
    return Dialogs::Instance().Ask(q);
}

void ShowMessage(const QString& text, const QString& caption) {
    Ask(mtInformation, caption, text, mbOK);
}

QString QtFileFilter(const QString& filter) {
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        // A description that already names its patterns keeps them once.
        QString name = parts[i].trimmed();
        const qsizetype paren = name.lastIndexOf(QLatin1Char('('));
        if (paren > 0 && name.endsWith(QLatin1Char(')')))
            name = name.left(paren).trimmed();
        result << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return result.join(QLatin1String(";;"));
}

bool OpenDocument(const QString& path) {
    return Shell::Instance().OpenUrl(QUrl::fromLocalFile(path));
}

} // namespace Vcl
