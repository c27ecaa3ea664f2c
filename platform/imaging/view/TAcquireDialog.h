#pragma once
// The scanner's settings as a dialog built from the device's option descriptors: a choice list
// for a listed option, a number field for a range, a check box for a switch, a text field for
// free text. Accepting writes the changed values to the device.

#include <IEAcquire.h>

#include <QDialog>
#include <QHash>

class QFormLayout;

namespace Imaging {

class TAcquireDialog final : public QDialog {
    Q_OBJECT
public:
    TAcquireDialog(TIEAcquire& acquisition, QWidget* parent = nullptr);

    // The editor of an option by its name; null for one the device does not offer.
    QWidget* Editor(const QString& name) const { return m_editors.value(name); }
    // The options whose value the user changed, with their new values.
    QList<QPair<QString, QVariant>> Changed() const;
    // Writes the changed values to the device; with keep they also stay for the session. The
    // names of the options the device refused.
    QStringList Apply(bool keep);

private:
    QVariant valueOf(const TAcquireOption& o) const;
    TIEAcquire& m_acquisition;
    QList<TAcquireOption> m_options;
    QHash<QString, QWidget*> m_editors;
};

} // namespace Imaging
