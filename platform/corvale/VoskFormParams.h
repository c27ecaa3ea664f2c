#pragma once
// Form-parameter helpers of the common components: texts with placeholders "<#name#>" that take
// their values from a form, first from its control of that name, then from the field of that name
// of its data classes at the current record. The values are handed back, not spliced, so that each
// caller binds them as SQL parameters, keeps them inside one program argument, or encodes them for
// a URL.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QMenu;
class QObject;

namespace Korvexutils {

struct TStringParam {
    QString name;
    QVariant value; // null when neither a control nor a field has the name
    bool found = false;
};
using TStringParams = QList<TStringParam>;

// Names of the placeholders in text, each once, in order of first appearance.
QStringList StringParamNames(const QString& text);
TStringParams FillStringParamsWithFormValuesOrDataSources(const QObject* form, const QString& text);
// text with every placeholder replaced by what fill returns for its parameter (a placeholder
// without a parameter in params is given a parameter with no value).
QString ReplaceStringParams(const QString& text, const TStringParams& params,
                            const std::function<QString(const TStringParam&)>& fill);
// The value a control shows: a line edit's text, a check box's state, a combo box's text, ...
QVariant GetControlValue(const QObject* control);

// The first placeholder's name in text; empty when there is none.
QString fieldname_get(const QString& text);
// Whether menu (or one of its sub-menus) already holds an item with this data value and caption.
bool isItemTwice(const QMenu* menu, const QVariant& dataValue, const QString& caption);

} // namespace Korvexutils
