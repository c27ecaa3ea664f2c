#pragma once
// What a screen reader is offered: the names and descriptions of the accessibility tree.

#include <QStringList>

class QWidget;

namespace testsupport {

// "name" or "name | description" of every node of root's accessibility tree, depth first.
QStringList AccessibleTexts(QWidget* root);

} // namespace testsupport
