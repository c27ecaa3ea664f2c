#include "SysPackages.h"

#include "VoskExceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <map>
#include <vector>

namespace Rtl {

namespace {

std::map<int, ModuleUnloadProc>& unloadProcs() {
    static std::map<int, ModuleUnloadProc> procs;
    return procs;
}

QList<FindGlobalComponentProc>& findProcs() {
    static QList<FindGlobalComponentProc> procs;
    return procs;
}

QString stripBpl(const QString& name) {
    QString base = name;
    if (base.endsWith(QLatin1String(".bpl"), Qt::CaseInsensitive))
        base.chop(4);
    return base;
}

} // namespace

QString LibraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return QDir::currentPath();
}

QString PackageFileName(const QString& package) {
    const QFileInfo fi(stripBpl(package));
    QString file = fi.fileName();
    if (!file.startsWith(QLatin1String("lib")))
        file.prepend(QLatin1String("lib"));
    if (!file.endsWith(QLatin1String(".so")))
        file.append(QLatin1String(".so"));
    const bool hasFolder = package.contains(QLatin1Char('/'));
    return QDir(hasFolder ? fi.path() : LibraryFolder()).filePath(file);
}

ModuleHandle LoadPackage(const QString& package) {
    const QString file = PackageFileName(package);
    void* handle = dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle)
        throw EVoskException(QStringLiteral("Package %1 kann nicht geladen werden: %2")
                                 .arg(package, QString::fromLocal8Bit(dlerror())));
    using Proc = void (*)();
    if (auto init = reinterpret_cast<Proc>(dlsym(handle, "Initialize"))) {
        try {
            init();
        } catch (...) {
            dlclose(handle);
            throw;
        }
    }
    return handle;
}

void UnloadPackage(ModuleHandle module) {
    if (!module)
        return;
    NotifyModuleUnload(module);
    using Proc = void (*)();
    std::exception_ptr failure;
    if (auto fini = reinterpret_cast<Proc>(dlsym(module, "Finalize"))) {
        try {
            fini();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    dlclose(module);
    if (failure)
        std::rethrow_exception(failure);
}

bool ModuleLoaded(const QString& package) {
    void* handle = dlopen(QFile::encodeName(PackageFileName(package)).constData(),
                          RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle); // only the reference NOLOAD took
    return true;
}

int AddModuleUnloadProc(ModuleUnloadProc proc) {
    static int next = 0;
    unloadProcs().emplace(++next, std::move(proc));
    return next;
}

void RemoveModuleUnloadProc(int id) { unloadProcs().erase(id); }

int ModuleUnloadProcCount() { return int(unloadProcs().size()); }

void NotifyModuleUnload(ModuleHandle module) {
    // A copy: a procedure may remove itself or others while the list is walked.
    std::vector<int> ids;
    for (const auto& [id, proc] : unloadProcs())
        ids.push_back(id);
    for (int id : ids) {
        auto it = unloadProcs().find(id);
        if (it == unloadProcs().end())
            continue;
        ModuleUnloadProc proc = it->second;
        try {
            proc(module);
        } catch (...) {
        }
    }
}

void RegisterFindGlobalComponentProc(FindGlobalComponentProc proc) {
    if (proc && !findProcs().contains(proc))
        findProcs().append(proc);
}

void UnregisterFindGlobalComponentProc(FindGlobalComponentProc proc) {
    findProcs().removeAll(proc);
}

QObject* FindGlobalComponent(const QString& name) {
    for (auto proc : findProcs())
        if (QObject* found = proc(name))
            return found;
    return nullptr;
}

bool DebuggerPresent() {
    // Asked several times by every module start; the answer is kept for a second (a debugger
    // that attaches is seen by the next window opened a moment later).
    static std::atomic<qint64> askedAt{0};
    static std::atomic<bool> present{false};
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    if (const qint64 at = askedAt.load(std::memory_order_acquire);
        at != 0 && now >= at && now - at < 1000)
        return present.load(std::memory_order_relaxed);
    bool traced = false;
    QFile f(QStringLiteral("/proc/self/status"));
    if (f.open(QIODevice::ReadOnly)) {
        // The one line is looked up, not every line split off.
        const QByteArray status = f.readAll();
        if (const qsizetype at = status.indexOf("\nTracerPid:"); at >= 0) {
            const qsizetype from = at + 11;
            const qsizetype end = status.indexOf('\n', from);
            traced = status.mid(from, end < 0 ? -1 : end - from).trimmed() != "0";
        }
    }
    present.store(traced, std::memory_order_relaxed);
    askedAt.store(now, std::memory_order_release);
    return traced;
}

} // namespace Rtl
