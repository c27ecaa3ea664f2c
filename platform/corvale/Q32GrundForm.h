#pragma once
// The common bases of the system's forms. TVoskBaseForm is the plain form of the common
// components; TQ32GrundForm adds the form parameters (name=value lines handed over by whoever
// opens the form, read by name), an alternative name under which per-class state may be kept, and
// the focus-error routines that record where the focus was before a move and report a failed one.

#include "Vcl.Forms.h"

#include <QPointer>
#include <QStringList>

class TVoskBaseForm : public Vcl::TForm {
    Q_OBJECT
public:
    explicit TVoskBaseForm(QObject* owner = nullptr, QWidget* parent = nullptr);
};

class TQ32GrundForm : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TQ32GrundForm(QObject* owner = nullptr, QWidget* parent = nullptr);

    const QStringList& Parameters() const { return m_parameters; }
    void SetParameters(const QStringList& nameValueLines) { m_parameters = nameValueLines; }
    // Replaces or adds one line.
    void SetParameter(const QString& name, const QString& value);

    // Names compare case-insensitively.
    bool ParameterExists(const QString& name) const;
    QString GetParameterStr(const QString& name, const QString& def = {}) const;
    // A missing value or one that is not a number gives def.
    int GetParameterInt(const QString& name, int def = 0) const;
    bool GetParameterBool(const QString& name, bool def = false) const;

    // Name the form may go by instead of its class name (for instance per table).
    QString AlternativeName() const { return m_alternativeName; }
    void SetAlternativeName(const QString& name) { m_alternativeName = name; }

    // Records which widget of form holds the focus before the focus is moved.
    static void FocusError_Init(QWidget* form);
    // Reports a failed focus move at location and gives the focus back to the recorded widget
    // when it still exists.
    static void FocusError_Exec(const QString& location, const QString& message);
    static QWidget* FocusError_Widget(); // the recorded widget, null when gone

private:
    QStringList m_parameters;
    QString m_alternativeName;
};
