#include "TAcquireDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace Imaging {

namespace {
QString numberText(double v) { return QLocale(QLocale::German).toString(v, 'g', 6); }
} // namespace

TAcquireDialog::TAcquireDialog(TIEAcquire& acquisition, QWidget* parent)
    : QDialog(parent), m_acquisition(acquisition), m_options(acquisition.Options()) {
    setObjectName(QStringLiteral("TAcquireDialog"));
    setWindowTitle(QStringLiteral("Scanner-Einstellungen: ") + acquisition.SelectedSource());
    auto* root = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* body = new QWidget(scroll);
    auto* form = new QFormLayout(body);
    scroll->setWidget(body);
    root->addWidget(scroll, 1);

    for (const TAcquireOption& o : m_options) {
        if (o.Type == TAcquireOption::Group) {
            if (!o.Title.isEmpty()) {
                auto* heading = new QLabel(QStringLiteral("<b>%1</b>").arg(o.Title.toHtmlEscaped()), body);
                form->addRow(heading);
            }
            continue;
        }
        if (o.Name.isEmpty() || o.Type == TAcquireOption::Button || !o.Active || !o.Settable)
            continue;
        const QString label = o.Unit.isEmpty() ? o.Title : o.Title + QStringLiteral(" (") + o.Unit + u')';
        QWidget* editor = nullptr;
        if (o.Type == TAcquireOption::Bool) {
            auto* box = new QCheckBox(body);
            box->setChecked(o.Value.toBool());
            editor = box;
        } else if (!o.Choices.isEmpty() || !o.Values.isEmpty()) {
            auto* combo = new QComboBox(body);
            if (!o.Choices.isEmpty()) {
                for (const QString& c : o.Choices)
                    combo->addItem(c, c);
                combo->setCurrentIndex(int(o.Choices.indexOf(o.Value.toString())));
            } else {
                for (double v : o.Values)
                    combo->addItem(numberText(v), v);
                combo->setCurrentIndex(int(o.Values.indexOf(o.Value.toDouble())));
            }
            editor = combo;
        } else if (o.Type == TAcquireOption::Int) {
            auto* spin = new QSpinBox(body);
            spin->setRange(o.HasRange ? int(o.Min) : -1000000, o.HasRange ? int(o.Max) : 1000000);
            if (o.HasRange && o.Quant > 0)
                spin->setSingleStep(int(o.Quant));
            spin->setValue(o.Value.toInt());
            editor = spin;
        } else if (o.Type == TAcquireOption::Fixed) {
            auto* spin = new QDoubleSpinBox(body);
            spin->setDecimals(2);
            spin->setRange(o.HasRange ? o.Min : -1e6, o.HasRange ? o.Max : 1e6);
            if (o.HasRange && o.Quant > 0)
                spin->setSingleStep(o.Quant);
            spin->setValue(o.Value.toDouble());
            editor = spin;
        } else {
            auto* edit = new QLineEdit(o.Value.toString(), body);
            editor = edit;
        }
        editor->setObjectName(o.Name);
        editor->setAccessibleName(o.Title);
        editor->setToolTip(o.Description.isEmpty() ? o.Title : o.Description);
        auto* caption = new QLabel(label, body);
        caption->setBuddy(editor);
        form->addRow(caption, editor);
        m_editors.insert(o.Name, editor);
    }
    if (m_editors.isEmpty())
        form->addRow(new QLabel(QStringLiteral("Der Scanner bietet keine Einstellungen an."), body));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Die Einstellungen übernehmen"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Ohne Änderung schließen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);
    resize(480, qMin(640, 120 + 32 * int(m_editors.size())));
}

QVariant TAcquireDialog::valueOf(const TAcquireOption& o) const {
    QWidget* e = m_editors.value(o.Name);
    if (auto* box = qobject_cast<QCheckBox*>(e))
        return box->isChecked();
    if (auto* combo = qobject_cast<QComboBox*>(e))
        return combo->currentData();
    if (auto* spin = qobject_cast<QSpinBox*>(e))
        return spin->value();
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(e))
        return spin->value();
    if (auto* edit = qobject_cast<QLineEdit*>(e))
        return edit->text();
    return {};
}

QList<QPair<QString, QVariant>> TAcquireDialog::Changed() const {
    QList<QPair<QString, QVariant>> changed;
    for (const TAcquireOption& o : m_options) {
        if (!m_editors.contains(o.Name))
            continue;
        const QVariant v = valueOf(o);
        const bool same = (o.Type == TAcquireOption::String || o.Type == TAcquireOption::Bool)
                              ? v == o.Value
                              : qFuzzyCompare(1.0 + v.toDouble(), 1.0 + o.Value.toDouble());
        if (v.isValid() && !same)
            changed.append({o.Name, v});
    }
    return changed;
}

QStringList TAcquireDialog::Apply(bool keep) {
    QStringList refused;
    for (const auto& [name, value] : Changed()) {
        if (!m_acquisition.SetOption(name, value))
            refused << name;
        else if (keep)
            m_acquisition.KeepForSession(name, value);
    }
    return refused;
}

} // namespace Imaging
