// The module form's soft-link menu and module link (unit UModulForm): the status-bar button, the
// menu filled each time it opens, and the link to the module and its record.

#include "UModulForm.h"

#include "DMSys.h"
#include "TQ32Control.h"
#include "TVoskClass.h"
#include "TVoskPopupMenu.h"
#include "TVoskTaskDialog.h"
#include "UDM1.h"
#include "USoftlink.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptionHelper.h"
#include "VoskFormParams.h"

#include <EventGuard.h>
#include <VoskExceptions.h>

#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QUrl>

namespace {

// A name or value as one query component: "&", "=", "#" and "+" inside it stay data.
QString queryComponent(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString controlText(const QWidget* control) {
    const QVariant v = Korvexutils::GetControlValue(control);
    return v.isNull() ? QString() : v.toString();
}

} // namespace

void TModulForm::CreateSoftlink() {
    FSoftlink = new TSoftlink(this);
    FSoftlink->OnItemClick = [this](TVoskMenuItem* item) {
        Rtl::Guarded([this, item] { miSoftlinkClick(item); }, this);
    };
    connect(pmuSoftlink, &QMenu::aboutToShow, this,
            [this] { Rtl::Guarded([this] { pmuSoftlinkPopup(); }, this); });
    if (BtSoftlink) {
        connect(BtSoftlink, &QToolButton::clicked, this,
                [this] { Rtl::Guarded([this] { BtSoftlinkClick(BtSoftlink); }, this); });
        if (BtSoftlink->toolTip().isEmpty())
            BtSoftlink->setToolTip(QStringLiteral("Softlinks und Modul-Link des Datensatzes"));
        BtSoftlink->setAccessibleName(BtSoftlink->text());
    }
}

QString TModulForm::GetModulLink(int index) {
    if (index != 0 && index != 1)
        return {};
    QString result;
    try {
        TVoskClass* data = TopLabel->FDataSource();
        TQ32Control* handler = TQ32Control::Of(data);
        const QList<QWidget*> controls =
            handler ? handler->GetEditControlsList() : QList<QWidget*>();
        TDM1* dm = DM1();
        if (index == 1) {
            // The caption is copied from the header when the window is shown.
            const QString caption =
                windowTitle().isEmpty() ? TopLabel->Toplabel->text() : windowTitle();
            result = QStringLiteral("Modul: '%1'").arg(caption);
            for (QWidget* c : controls) {
                QString alias = dm ? dm->GetFieldAlias(c->objectName(), data->SqlTable())
                                   : QString();
                if (alias.isEmpty())
                    alias = c->objectName();
                result += QStringLiteral(", %1: '%2'").arg(alias, controlText(c));
            }
            return result;
        }
        if (!handler)
            return result;
        QStringList parts;
        for (QWidget* c : controls)
            parts << queryComponent(c->objectName().toLower()) + QLatin1Char('=') +
                         queryComponent(controlText(c));
        result = QStringLiteral("korvex://open/params?modul=") +
                 queryComponent(Vcl::ClassName(this)) +
                 (parts.isEmpty() ? QString() : QLatin1Char('&') + parts.join(QLatin1Char('&')));
        if (dm && dm->Connected()) {
            if (dm->HasModulLinkServerRef())
                result += QStringLiteral("&server_id=%1").arg(dm->ModulLink_ServerID());
            result += QStringLiteral("&hash=%1").arg(dm->ModulLink_Hash());
        }
    } catch (...) {
        TVoskExceptionHelper::InsertStackInfo(
            std::current_exception(), Dunmere::SecureFullName(this, QStringLiteral("TModulForm")) +
                                          QStringLiteral(".GetModulLink: "));
    }
    return result;
}

void TModulForm::miModulLinkCopyClick() {
    const QString link = GetModulLink(0);
    if (!link.isEmpty())
        Vcl::Clipboard::Instance().SetText(link);
}

void TModulForm::miModulLinkMailSendClick() {
    if (!TVoskTaskDialog::FVoskSendMail.Assigned()) {
        Vcl::ShowMessage(QStringLiteral("Es ist kein E-Mail-Versand eingerichtet; der Modul-Link "
                                        "kann nur kopiert werden."));
        return;
    }
    TVoskTaskDialog::FVoskSendMail(
        QString(), GetModulLink(1),
        QStringLiteral("<a href=\"%1\">KORVEX-Link</a>").arg(GetModulLink(0)), QStringList(),
        QStringList());
}

void TModulForm::pmuSoftlinkPopup() {
    if (!pmuSoftlink)
        return;
    const int before = int(pmuSoftlink->actions().size());
    if (FSoftlink)
        FSoftlink->SoftlinkPopupItems_Create();
    auto autoItem = [this](const QString& name, int textNr, const QString& text, int image) {
        auto* item = new TVoskMenuItem(text, pmuSoftlink);
        item->setObjectName(name);
        item->SetTextNr(textNr);
        item->SetIsAutoLink(true);
        if (image >= 0)
            item->setIcon(DMSys()->ImageList()->Icon(image));
        item->setToolTip(item->text());
        return item;
    };
    miTrenner = nullptr;
    if (int(pmuSoftlink->actions().size()) > before) {
        miTrenner = autoItem(QStringLiteral("miTrenner"), 0, QStringLiteral("-"), -1);
        miTrenner->setSeparator(true);
        pmuSoftlink->addAction(miTrenner);
    }
    miModulLinkGroup =
        autoItem(QStringLiteral("miModulLinkGroup"), 26543, QStringLiteral("Modul-Link"), 316);
    auto* group = new QMenu(pmuSoftlink);
    group->setObjectName(QStringLiteral("miModulLinkGroup_Menu"));
    miModulLinkGroup->setMenu(group);
    pmuSoftlink->addAction(miModulLinkGroup);
    miModulLinkCopy =
        autoItem(QStringLiteral("miModulLinkCopy"), 26530, QStringLiteral("Link kopieren"), 60);
    connect(miModulLinkCopy, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miModulLinkCopyClick(); }, this); });
    group->addAction(miModulLinkCopy);
    miModulLinkMailSend = autoItem(QStringLiteral("miModulLinkMailSend"), 26544,
                                   QStringLiteral("Link per E-Mail senden"), 40);
    connect(miModulLinkMailSend, &QAction::triggered, this,
            [this] { Rtl::Guarded([this] { miModulLinkMailSendClick(); }, this); });
    group->addAction(miModulLinkMailSend);
}

void TModulForm::miSoftlinkClick(QObject* sender) {
    if (auto* item = qobject_cast<TVoskMenuItem*>(sender); item && FSoftlink)
        FSoftlink->DoExecuteSoftlink(int(item->Tag()));
}

void TModulForm::BtSoftlinkClick(QObject* sender) {
    Q_UNUSED(sender);
    TVoskClass* data = TopLabel->FDataSource();
    if (pmuSoftlink && data && data->FGetActive() && data->EnabledFlag() && !data->IsEmpty())
        pmuSoftlink->PopupAtMousePosition();
}
