#pragma once
// The module libraries of the ERP as the lower packages reach them: procedures looked up by
// library and procedure name. Start procedures take name=value lines and return the object they
// made (mostly a form); other procedures are typed callables fetched with LoadLibraryAndProc. The
// host registers what it provides; tests register fakes. Names compare case-insensitively.

#include <VoskExceptions.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <any>
#include <functional>

namespace Ukorvexinterface {

using TStartProc = std::function<QObject*(const QStringList& nameValueLines)>;

void RegisterStartProc(const QString& library, const QString& procedure, TStartProc proc);
// Any callable type; LoadLibraryAndProc must ask for the same std::function type.
void RegisterProcAny(const QString& library, const QString& procedure, std::any proc);
template <class Fn>
void RegisterProc(const QString& library, const QString& procedure, std::function<Fn> proc) {
    RegisterProcAny(library, procedure, std::any(std::move(proc)));
}
void UnregisterProc(const QString& library, const QString& procedure);
bool ProcExists(const QString& library, const QString& procedure);
// How often a library was looked up for a typed procedure (the load of the library).
int LoadCount(const QString& library);

// Runs a start procedure; EVoskException naming library and procedure when none is registered.
QObject* StartLibraryProc(const QString& library, const QString& procedure,
                          const QStringList& nameValueLines);
QObject* StartLibraryProc(const QString& library, const QString& procedure,
                          std::initializer_list<QString> pairs);

std::any LoadLibraryAndProcAny(const QString& library, const QString& procedure);
// The procedure, or EVoskException naming library and procedure when it is missing or has
// another type; the caller's variable stays empty then.
template <class Fn>
std::function<Fn> LoadLibraryAndProc(const QString& library, const QString& procedure) {
    std::any a = LoadLibraryAndProcAny(library, procedure);
    if (auto* fn = std::any_cast<std::function<Fn>>(&a))
        return *fn;
    throw EVoskException(
        QStringLiteral("Prozedur \"%1\" in \"%2\" hat nicht den erwarteten Typ").arg(procedure, library));
}

// Pairs name, value, name, value ... as name=value lines; a trailing name is ignored.
QStringList ParameterArrayToStringList(const QStringList& pairs);

} // namespace Ukorvexinterface
