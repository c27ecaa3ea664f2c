#include "Morwick.MainU.h"

#include "Morwick.FormMorwickU.h"
#include "Morwick.UtiltiesU.h"

#include "SysPackages.h"
#include "UnitTable.h"

#include <QApplication>
#include <QThread>
#include <QTreeWidget>

using namespace ToolsAPI;

namespace {

int s_wizardIndex = -1;
int s_aboutIndex = -1;
int s_unloadProc = 0; // id of the module-unload procedure; 0 while none is registered

QPixmap pluginBitmap() { return QPixmap(QStringLiteral(":/morwick/IDEPlugin24.png")); }

// Any module that unloads may be the one the viewer's code lives in, so the viewer goes first.
void onUnloadModule(Rtl::ModuleHandle) {
    if (!FormMorwick)
        return;
    Morwick::IDEMsg_TitleMessage(QStringLiteral("TMorwickHelperWiz"),
                                 QStringLiteral("OnUnloadModule.Free"));
    try {
        FormMorwick->Close();
    } catch (...) {
    }
    QThread::yieldCurrentThread();
    QCoreApplication::processEvents();
    try {
        delete FormMorwick.data();
    } catch (...) {
    }
    FormMorwick = nullptr;
}

void unitInit() {}

void unitFini() {
    try {
        if (s_wizardIndex != -1)
            if (IBorlandIDEServices* ide = BorlandIDEServices())
                if (auto* wizards = ide->Supports<IOTAWizardServices>())
                    wizards->RemoveWizard(s_wizardIndex);
        s_wizardIndex = -1;
        if (s_aboutIndex != -1)
            if (IBorlandIDEServices* ide = BorlandIDEServices())
                if (auto* about = ide->Supports<IOTAAboutBoxServices>())
                    about->RemovePluginInfo(s_aboutIndex);
        s_aboutIndex = -1;
    } catch (...) {
    }
    // The procedure and the viewer are this library's code: neither may outlive it.
    if (s_unloadProc) {
        Rtl::RemoveModuleUnloadProc(s_unloadProc);
        s_unloadProc = 0;
    }
    delete FormMorwick.data();
}

} // namespace

KORVEX_UNIT("morwick", "Morwick.MainU", unitInit, unitFini);

namespace Morwick {

IOTAServices* _BorlandServicesIntf() {
    if (IBorlandIDEServices* ide = BorlandIDEServices())
        return ide->Supports<IOTAServices>();
    if (IBorlandIDEServices* ide = GetBorlandServices())
        return ide->Supports<IOTAServices>();
    return nullptr;
}

void DoRegister() {
    IBorlandIDEServices* ide = BorlandIDEServices();
    auto* wizards = ide ? ide->Supports<IOTAWizardServices>() : nullptr;
    if (wizards)
        s_wizardIndex = wizards->AddWizard(new TMorwickHelperWiz);
}

void DoInit() {
    IBorlandIDEServices* ide = BorlandIDEServices();
    if (!ide)
        return;
    if (auto* splash = ide->Supports<IOTASplashScreenServices>())
        splash->AddPluginBitmap(QStringLiteral("DORNAX.Morwick"), pluginBitmap());
    if (auto* about = ide->Supports<IOTAAboutBoxServices>())
        s_aboutIndex = about->AddPluginInfo(QStringLiteral("DORNAX.Morwick"),
                                            QStringLiteral("Umgebung, Optionen und Zwischenablage "
                                                           "der IDE"),
                                            pluginBitmap());
}

int WizardIndex() { return s_wizardIndex; }

} // namespace Morwick

QString TMorwickHelperWiz::GetIDString() {
    QString k = QStringLiteral("?");
    if (IOTAServices* services = Morwick::_BorlandServicesIntf()) {
        // "\Software\Korvex\IDE\28.0": the last element of the folder part, "IDE".
        QStringList parts = services->GetBaseRegistryKey().split(QLatin1Char('\\'),
                                                                   Qt::SkipEmptyParts);
        k = parts.size() >= 2 ? parts.at(parts.size() - 2) : QString();
    }
    return QStringLiteral("%1 [%2]").arg(QStringLiteral("Morwick"), k);
}

void TMorwickHelperWiz::Execute() {
    if (!FormMorwick) {
        FormMorwick = new TFormMorwick(nullptr);
        if (!s_unloadProc) {
            s_unloadProc = Rtl::AddModuleUnloadProc(&onUnloadModule);
            Morwick::IDEMsg_TitleMessage(QStringLiteral("TFormMorwick"),
                                         QStringLiteral("OnUnloadModule registered"));
        }
        FormMorwick->resize(1600, FormMorwick->height());
    }
    FormMorwick->ReloadInfo();
    FormMorwick->show();
    // The list lays its columns out again when its size changes.
    FormMorwick->LV_Items->resize(FormMorwick->LV_Items->width() - 1,
                                  FormMorwick->LV_Items->height());
}
