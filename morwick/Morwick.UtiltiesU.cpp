#include "Morwick.UtiltiesU.h"

#include "SysPackages.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QFile>
#include <QRegularExpression>

#include <dlfcn.h>

extern char** environ;

namespace Morwick {

namespace {

ToolsAPI::IOTAMessageServices* messageServices() {
    ToolsAPI::IBorlandIDEServices* ide = ToolsAPI::BorlandIDEServices();
    if (!ide)
        ide = GetBorlandServices();
    return ide ? ide->Supports<ToolsAPI::IOTAMessageServices>(ToolsAPI::IID_IOTAMessageServices40)
               : nullptr;
}

void showFailure(const QString& text) {
    Vcl::Ask(Vcl::mtError, QStringLiteral("DORNAX.Morwick"),
             text + QLatin1Char('\n') + Rtl::ExceptionMessage(std::current_exception()), Vcl::mbOK);
}

} // namespace

ToolsAPI::IBorlandIDEServices* GetBorlandServices() {
    try {
        const QByteArray file = QFile::encodeName(Rtl::PackageFileName(
            QString::fromLatin1(ToolsAPI::DesignIdePackage)));
        void* module = dlopen(file.constData(), RTLD_NOW | RTLD_NOLOAD);
        if (!module)
            return nullptr;
        auto* var = static_cast<ToolsAPI::IBorlandIDEServices**>(
            dlsym(module, ToolsAPI::BorlandIDEServicesSymbol));
        ToolsAPI::IBorlandIDEServices* services = var ? *var : nullptr;
        dlclose(module);
        if (services && services->Supports<ToolsAPI::IOTAServices>())
            return services;
    } catch (...) {
    }
    return nullptr;
}

bool GetEnvironmentVars(QStringList* list, bool expand) {
    Rtl::Assert(list != nullptr, QStringLiteral("Helper\\Morwick\\Morwick.UtiltiesU"));
    list->clear();
    for (char** e = environ; e && *e; ++e) {
        QString line = QString::fromLocal8Bit(*e);
        if (expand)
            ExpandEnvironmentVar(line);
        list->append(line);
    }
    return true;
}

bool ExpandEnvironmentVar(QString& s) {
    static const QRegularExpression ref(QStringLiteral("%([^%=]+)%"));
    QString out;
    qsizetype last = 0;
    auto it = ref.globalMatch(s);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(s).mid(last, m.capturedStart() - last);
        const QByteArray name = m.captured(1).toLocal8Bit();
        out += qEnvironmentVariableIsSet(name.constData())
                   ? qEnvironmentVariable(name.constData())
                   : m.captured(0);
        last = m.capturedEnd();
    }
    out += QStringView(s).mid(last);
    s = out;
    return true;
}

void IDEMsg_TitleMessage(const QString& a, const QString& b, bool debug) {
    const QString text = QStringLiteral("[%1] %2").arg(a, b);
    try {
        if (debug && Rtl::DebuggerPresent())
            qDebug("%s", qPrintable(text));
        if (auto* messages = messageServices())
            messages->AddTitleMessage(text);
    } catch (const std::exception&) {
        showFailure(text);
    }
}

void IDEMsg_ToolMessage(const QString& fileName, const QString& msg, const QString& prefix, int line,
                        int column, bool debug) {
    try {
        if (debug && Rtl::DebuggerPresent())
            qDebug("%s(%d,%d) %s %s", qPrintable(fileName), line, column, qPrintable(prefix),
                   qPrintable(msg));
        if (auto* messages = messageServices())
            messages->AddToolMessage(fileName, msg, prefix, line, column);
    } catch (const std::exception&) {
        showFailure(msg);
    }
}

} // namespace Morwick

namespace {
void unitInit() {}
void unitFini() {}
} // namespace

#include "UnitTable.h"
KORVEX_UNIT("morwick", "Morwick.UtiltiesU", unitInit, unitFini);
