#pragma once
// Number-range selection: the one way for a module to get a new document number. The module names
// itself and gets back a number, drawn silently from its only or preselected range, or chosen in
// the dialog "Nummernkreisauswahl", which lists the module's ranges with the number each would
// hand out next, marks the default in green and lets the user type a number of his own.

#include "Q32GrundForm.h"

#include <QString>
#include <QStringList>

#include <initializer_list>

class QLabel;
class QPushButton;
class QToolButton;
class TNummernKreis;
class TVoskDBGrid2;
class TVoskEdit;

enum TNKOption {
    nkoDisableUserInput,        // no manual number; implies nkoSelectIfOne
    nkoSelectIfOne,             // one listed range: draw without the dialog
    nkoExcludeIsInclude,        // the excluded keys are the only ones allowed
    nkoInternal_NotSelectManual, // do not preselect the manual row
    nkoInternal_WithoutDialog,  // never show the dialog
};

class TNKOptions final {
public:
    TNKOptions() = default;
    TNKOptions(std::initializer_list<TNKOption> options) {
        for (TNKOption o : options)
            Include(o);
    }
    bool Contains(TNKOption o) const { return m_bits & bit(o); }
    TNKOptions& Include(TNKOption o) {
        m_bits |= bit(o);
        return *this;
    }
    TNKOptions& Exclude(TNKOption o) {
        m_bits &= ~bit(o);
        return *this;
    }
    // The caller's options without the internal ones, which only the class functions set.
    TNKOptions Public() const {
        TNKOptions o = *this;
        return o.Exclude(nkoInternal_NotSelectManual).Exclude(nkoInternal_WithoutDialog);
    }
    bool operator==(const TNKOptions&) const = default;

private:
    static unsigned bit(TNKOption o) { return 1u << unsigned(o); }
    unsigned m_bits = 0;
};

class TFormNummernKreis final : public TVoskBaseForm {
    Q_OBJECT
public:
    explicit TFormNummernKreis(QObject* owner = nullptr);

    // ---- class functions: a number string, empty when cancelled or nothing was drawn ---------
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& Number, const QString& NumberDesc, TNKOptions Options);
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& Number, const QString& NumberDesc, TNKOptions Options,
                             const QStringList& F2Params, const QStringList& ExcludedNrKr);
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& PreSelectedNrKr, TNKOptions Options);
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& PreSelectedNrKr, TNKOptions Options,
                             const QStringList& F2Params, const QStringList& ExcludedNrKr);
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& PreSelectedNrKr, const QString& Number,
                             const QString& NumberDesc, TNKOptions Options);
    static QString GetNumber(const QString& ModulName, const QString& NrKrCaption,
                             const QString& PreSelectedNrKr, const QString& Number,
                             const QString& NumberDesc, TNKOptions Options,
                             const QStringList& F2Params, const QStringList& ExcludedNrKr);
    // Never shows the dialog: draws from PreSelectedNrKr, else the default, else the first range.
    static QString GetNumberDirect(const QString& ModulName, const QString& NrKrCaption,
                                   const QString& PreSelectedNrKr);
    // As GetNumber, but the manual row is not preselected.
    static QString GetNumberSelNrKr(const QString& ModulName, const QString& NrKrCaption,
                                    const QString& PreSelectedNrKr, const QString& Number,
                                    const QString& NumberDesc, TNKOptions Options);
    static QString GetNumberSelNrKr(const QString& ModulName, const QString& NrKrCaption,
                                    const QString& PreSelectedNrKr, const QString& Number,
                                    const QString& NumberDesc, TNKOptions Options,
                                    const QStringList& F2Params, const QStringList& ExcludedNrKr);
    // Writes the number into EditControl (focused first); false when cancelled.
    static bool SetNumber(QWidget* EditControl, const QString& ModulName,
                          const QString& NrKrCaption, TNKOptions Options);
    static bool SetNumber(QWidget* EditControl, const QString& ModulName,
                          const QString& NrKrCaption, const QString& PreSelectedNrKr,
                          const QString& Number, const QString& NumberDesc, TNKOptions Options);
    static bool SetNumber(QWidget* EditControl, const QString& ModulName,
                          const QString& NrKrCaption, const QString& PreSelectedNrKr,
                          const QString& Number, const QString& NumberDesc, TNKOptions Options,
                          const QStringList& ExcludedNrKr);

    // Where every class function ends; true when ResultNr is not empty.
    static bool DoGetNumber(QWidget* OwnerForm, const QString& ModulName,
                            const QString& NrKrCaption, const QString& PreSelectedNrKr,
                            const QString& Number, const QString& NumberDesc, TNKOptions Options,
                            const QStringList& F2Params, const QStringList& ExcludedNrKr,
                            QString& ResultNr);

    // The range key the last dialog drew from (empty for a typed number or without a dialog), and
    // the number the last confirmed dialog returned.
    static inline QString FLastNrKr;
    static inline QString FLastNumber;

    // Components, in the order of the form resource.
    QLabel* lbHint;
    QLabel* lbCaption;
    TVoskDBGrid2* NumCirclesCX;
    TNummernKreis* sqlNumCircles;
    TVoskEdit* edNumber;
    QPushButton* btOK;
    QPushButton* btCancel;
    QToolButton* btHelp;
    QLabel* lbAdminHint;

    QString FPreSelectedNrKr;
    bool FNotSelectManual = false;

    // Positions the list on the manual row, the preselected range or the default; false when
    // none of them is there.
    bool SelectDefault();
    // Not empty and not the integer 0; text that is no integer (alphanumeric numbers) passes.
    bool CheckNumber() const;
    // The colours of edNumber: invalid, the current row's preview, typed by hand.
    static const QColor ColorInvalid;
    static const QColor ColorTyped;
    static const QColor ColorDefaultRow;
    // Whether row of the list is painted as the preselected or default range.
    bool IsGreenRow(int row) const;

    void edNumberChange();
    void NumCirclesScroll();
    void NumCirclesDblClick();
    void btOKClick();
    void btHelpClick();
    // True when the key was handled (it goes no further).
    bool FormKeyDown(int Key, Qt::KeyboardModifiers Shift);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool locateManualRow();
    bool locateIdent(const QString& ident);
    bool locateDefault();
    void takePreviewAndOk();
    QString currentPreview() const;
};
