#pragma once
// The editor of one note of a record: date, author, subject, category and text of the note the
// record information window stands on. It edits that window's notes in place (the data class is
// handed in, not read again), so the window's list shows what was saved at once. OK saves,
// "Abbrechen" and Esc drop the changes; a save the server refuses leaves the note in edit with
// the server's message.

#include "UModulForm.h"

#include <QPointer>

class QLabel;
class QPushButton;
class TDBText;
class TQ32Control;
class TRecNoComment;
class TServSQL2;
class TVoskDBDateTimeEdit;
class TVoskDBEdit;
class TVoskDBLookupComboBox;
class TVoskDBMemo;

class TFormRecnoComments final : public TModulForm {
    Q_OBJECT
public:
    // notes: the data class whose current note is edited; without one the form keeps its own.
    explicit TFormRecnoComments(QObject* owner = nullptr, TRecNoComment* notes = nullptr);

    // Makes the editor on the current note of notes, owned by owner (whose window it stays over),
    // not yet shown; it frees itself when closed.
    static TFormRecnoComments* Execute(QWidget* owner, TRecNoComment* notes);

    QPointer<TRecNoComment> RecNoComment_ReplaceDataSet;
    QLabel* lbId;
    QLabel* lbDatum;
    QLabel* lbUser;
    QLabel* lbText;
    QLabel* lbBetreff;
    QLabel* lbKategorie;
    QLabel* lbUnternotiz;
    TVoskDBEdit* rc_id;
    TVoskDBDateTimeEdit* rc_date;
    TVoskDBEdit* rc_user;
    TVoskDBMemo* rc_text;
    TVoskDBEdit* rc_betreff;
    TVoskDBLookupComboBox* rc_category;
    TDBText* dblb_insert_by_name;
    QPushButton* BtOK;
    QPushButton* BtCancel;
    TQ32Control* Q32Control1;
    TServSQL2* sqlCategory;

    void FormCreate(QObject* sender) override;
    void FormClose(QObject* sender, Vcl::TCloseAction& action) override;
    void FormKeyDown(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
    // Saves the note (its before-post check included) and closes; a refused save keeps the form.
    void BtOKClick();
    // Drops the changes and closes.
    void BtCancelClick();
    void rc_textEnter();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
};
