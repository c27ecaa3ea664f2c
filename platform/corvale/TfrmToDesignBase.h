#pragma once
// The dialogs that the ERP designs in its form designer (report and form dialogs) derive from
// TfrmToDesignBase. It keeps the module it belongs to and the module of the form that opened it,
// the help keyword, the file its print settings go to and the result text that its button bar
// hands back to the caller. The three interfaces are what such a dialog and its neighbours offer
// to the button bar.

#include "Q32GrundForm.h"

#include <QString>
#include <QStringList>

class QWidget;

// A module form that can name the record it shows.
class IModulInfo {
public:
    virtual ~IModulInfo() = default;
    virtual QString ModulInfoId() const = 0;    // the record id
    virtual QString ModulInfoKeys() const = 0;  // the key values, ";" between several
    virtual QString ModulInfoTable() const = 0; // the table
};

// A designed dialog whose input is gathered by its script handler.
class IJSHandler {
public:
    virtual ~IJSHandler() = default;
    // The script's parameter lines, "name = <Python literal>".
    virtual QStringList ScriptParamLines() = 0;
    virtual void SetHandlerModalResult(int result) = 0;
};

// A control that contributes parameters of its own to a report script.
class IParamControl {
public:
    virtual ~IParamControl() = default;
    virtual void Validate() = 0;
    virtual bool IsValid() const = 0;
    virtual void AppendScriptLines(QStringList& lines) const = 0;
};

class TfrmToDesignBase : public TQ32GrundForm {
    Q_OBJECT
public:
    // owner is the module form the dialog was opened from; its module name is kept as
    // ModulNameOwnerForm.
    explicit TfrmToDesignBase(QObject* owner = nullptr, QWidget* parent = nullptr);

    QString ModulName() const { return m_modulName; }
    void SetModulName(const QString& name) { m_modulName = name; }
    QString ModulNameOwnerForm() const { return m_modulNameOwnerForm; }
    void SetModulNameOwnerForm(const QString& name) { m_modulNameOwnerForm = name; }

    QString HelpKeyword() const { return m_helpKeyword; }
    void SetHelpKeyword(const QString& keyword) { m_helpKeyword = keyword; }

    // Where the dialog's print settings are kept: a file per module in the session's data folder.
    virtual QString PrintSettingsFileName() const;

    // What the dialog hands back to the one who opened it.
    QString ResultText() const { return m_resultText; }
    void SetResultText(const QString& text) { m_resultText = text; }

private:
    QString m_modulName;
    QString m_modulNameOwnerForm;
    QString m_helpKeyword;
    QString m_resultText;
};
