#pragma once
// Helpers of the environment viewer: the IDE's services found even without linking the IDE's
// globals, the process environment, %NAME% expansion and messages to the IDE's message view.

#include "ToolsAPI.h"

#include <QString>
#include <QStringList>

namespace Morwick {

// The services object read from the IDE library's exported variable, when that library is in the
// process and the object offers the general services; null otherwise.
ToolsAPI::IBorlandIDEServices* GetBorlandServices();

// list := the environment as Name=Value lines in the order of the process environment; with
// expand, %NAME% references of known variables are expanded. A null list fails the assertion.
bool GetEnvironmentVars(QStringList* list, bool expand);
// Expands every %NAME% of a variable that exists; unknown names stay as they are.
bool ExpandEnvironmentVar(QString& s);

// "[A] B" as a title message of the IDE's message view; with debug and a debugger attached also to
// the debug output. A failure shows an error box.
void IDEMsg_TitleMessage(const QString& a, const QString& b, bool debug = false);
void IDEMsg_ToolMessage(const QString& fileName, const QString& msg, const QString& prefix, int line,
                        int column, bool debug = false);

} // namespace Morwick
