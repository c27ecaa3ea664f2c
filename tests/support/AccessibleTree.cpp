#include "AccessibleTree.h"

#include <QAccessible>
#include <QWidget>

namespace testsupport {

namespace {

void Walk(QAccessibleInterface* node, QStringList& out, int depth) {
    if (!node || depth > 64)
        return;
    const QString name = node->text(QAccessible::Name);
    const QString description = node->text(QAccessible::Description);
    out << (description.isEmpty() ? name : name + QStringLiteral(" | ") + description);
    for (int i = 0; i < node->childCount(); ++i)
        Walk(node->child(i), out, depth + 1);
}

} // namespace

QStringList AccessibleTexts(QWidget* root) {
    QStringList out;
    Walk(QAccessible::queryAccessibleInterface(root), out, 0);
    return out;
}

} // namespace testsupport
