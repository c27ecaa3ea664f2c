#include "Ukorvexinterface.h"

#include <QHash>

namespace Ukorvexinterface {
namespace {

struct Registry {
    QHash<QString, TStartProc> start;
    QHash<QString, std::any> typed;
    QHash<QString, int> loads;
};
Registry& registry() {
    static Registry r;
    return r;
}
QString key(const QString& library, const QString& procedure) {
    return library.toLower() + QLatin1Char('|') + procedure.toLower();
}
[[noreturn]] void notFound(const QString& library, const QString& procedure) {
    throw EVoskException(QStringLiteral("Prozedur \"%1\" in Modulbibliothek \"%2\" nicht gefunden")
                             .arg(procedure, library));
}

} // namespace

void RegisterStartProc(const QString& library, const QString& procedure, TStartProc proc) {
    registry().start.insert(key(library, procedure), std::move(proc));
}
void RegisterProcAny(const QString& library, const QString& procedure, std::any proc) {
    registry().typed.insert(key(library, procedure), std::move(proc));
}
void UnregisterProc(const QString& library, const QString& procedure) {
    registry().start.remove(key(library, procedure));
    registry().typed.remove(key(library, procedure));
}
bool ProcExists(const QString& library, const QString& procedure) {
    const QString k = key(library, procedure);
    return registry().start.contains(k) || registry().typed.contains(k);
}
int LoadCount(const QString& library) { return registry().loads.value(library.toLower()); }

QObject* StartLibraryProc(const QString& library, const QString& procedure,
                          const QStringList& nameValueLines) {
    auto it = registry().start.constFind(key(library, procedure));
    if (it == registry().start.constEnd() || !*it)
        notFound(library, procedure);
    // A copy: the procedure may register or remove procedures while it runs.
    TStartProc proc = *it;
    return proc(nameValueLines);
}
QObject* StartLibraryProc(const QString& library, const QString& procedure,
                          std::initializer_list<QString> pairs) {
    return StartLibraryProc(library, procedure, ParameterArrayToStringList(QStringList(pairs)));
}

std::any LoadLibraryAndProcAny(const QString& library, const QString& procedure) {
    ++registry().loads[library.toLower()];
    auto it = registry().typed.constFind(key(library, procedure));
    if (it == registry().typed.constEnd())
        notFound(library, procedure);
    return *it;
}

QStringList ParameterArrayToStringList(const QStringList& pairs) {
    QStringList lines;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        lines << pairs[i] + QLatin1Char('=') + pairs[i + 1];
    return lines;
}

} // namespace Ukorvexinterface
