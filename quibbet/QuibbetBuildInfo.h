#pragma once
// What the IDE's splash screen and about box say of this build; the values come from the build.

#include <QString>

namespace QuibbetBuild {
QString VersionAndEdition();  // "0.1 Linux"
QString Description();        // one line
QString Information();        // five labelled lines, "\n" separated
} // namespace QuibbetBuild
