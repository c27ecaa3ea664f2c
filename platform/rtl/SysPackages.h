#pragma once
// Run-time packages loaded by name, the procedures the run time calls for every module it unloads,
// and the procedures that resolve references to global components by name. A package "Name.bpl"
// is the shared library "libName.so", looked for in the folder of the system's own libraries.

#include <QString>

#include <functional>

class QObject;

namespace Rtl {

using ModuleHandle = void*; // the library handle; null for none

// The file a package name stands for: "Ferrisby280.bpl" -> "<libs>/libFerrisby280.so". A name
// with a folder keeps it.
QString PackageFileName(const QString& package);
// The folder of the system's own libraries.
QString LibraryFolder();

// Loads the package, runs its exported Initialize when it has one, and returns its handle. Throws
// EVoskException "Package ... kann nicht geladen werden" with the loader's reason.
ModuleHandle LoadPackage(const QString& package);
// Unload procedures, the package's Finalize, then the library is released.
void UnloadPackage(ModuleHandle module);
// Whether the package's library is in the process already (loaded by anyone).
bool ModuleLoaded(const QString& package);

// Called with the module's handle before any module is unloaded, in registration order.
using ModuleUnloadProc = std::function<void(ModuleHandle)>;
int AddModuleUnloadProc(ModuleUnloadProc proc); // returns an id for RemoveModuleUnloadProc
void RemoveModuleUnloadProc(int id);
int ModuleUnloadProcCount();
// Runs the unload procedures for module; each failure is swallowed so that all of them run.
void NotifyModuleUnload(ModuleHandle module);

// Resolves a global component by name; the first procedure that finds one wins.
using FindGlobalComponentProc = QObject* (*)(const QString& name);
void RegisterFindGlobalComponentProc(FindGlobalComponentProc proc);
void UnregisterFindGlobalComponentProc(FindGlobalComponentProc proc);
QObject* FindGlobalComponent(const QString& name);

// Whether a debugger is attached to this process (a tracer of it).
bool DebuggerPresent();

} // namespace Rtl
