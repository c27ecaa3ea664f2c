#pragma once
// Where the record information window and the module form's status bar reach windows of the
// editors and of the document management: each is a slot that the window's own unit fills at
// load and empties at unload. An empty slot means the window is not part of this installation;
// the caller then tells the user so and writes nothing.

#include <HookSlot.h>

#include <QDate>
#include <QString>

#include <memory>

class QObject;
class QWidget;
class TDokument;
class TRecNoComment;
class TRecNoParams;
class TVoskClass;

namespace UModulFormSeams {

// The resubmission dialog: date, user, subject and text, the resubmission's dbrid ("0" for a new
// one) and the reference text of the record; ShowModal returns the modal result.
class IFormWvod {
public:
    virtual ~IFormWvod() = default;
    QDate Date;
    QString User;
    QString Betreff;
    QString Text;
    QString dbrid;
    QString Reference;
    virtual int ShowModal() = 0;
};
extern Rtl::HookSlot<std::unique_ptr<IFormWvod>(QWidget* owner)> FormWvod;

// The note editor on the current note of notes, owned by owner and shown without blocking; the
// returned window closes itself when the user is done.
extern Rtl::HookSlot<QWidget*(QWidget* owner, TRecNoComment* notes)> FormRecnoComments;

// The record-parameter frame: its data class, the field the lookup of a new parameter fills,
// its grid; attaching reads the parameters of one record; DeleteAll removes them all.
class IFrameRecnoParams {
public:
    virtual ~IFrameRecnoParams() = default;
    virtual QWidget* Frame() = 0;
    virtual TRecNoParams* DataClass() = 0;
    virtual QObject* NameField() = 0;
    virtual QWidget* Grid() = 0;
    virtual void Attach(const QString& table, const QString& recId, const QString& formClass) = 0;
    virtual void DeleteAll() = 0;
};
extern Rtl::HookSlot<IFrameRecnoParams*(QWidget* parent, TRecNoParams* data)> FrameRecnoParams;

// What the document window does to a node after a document's state may have changed elsewhere:
// refresh the focused node, or also rebuild the tree and select the node again.
enum TSperrDokuActionType { atNodeUpdate = 0, atNodeChange = 1 };

// The document window of one record of a document class.
class IFormDokments {
public:
    virtual ~IFormDokments() = default;
    virtual QWidget* Window() = 0;
    virtual void SetOwnerModulForm(QWidget* form) = 0;
    virtual void SetAlternateDokIdent(const QString& ident) = 0;
    virtual void Show() = 0;
    virtual void TreeMenuCreate(bool expand) = 0;
    // Scrolls to and focuses the node whose id is nodeIdent; false (nothing changed) for an
    // empty text or no such node.
    virtual bool TreeMenuSelect(const QString& nodeIdent) = 0;
    // Re-reads the focused node and its document state (atNodeUpdate) or also rebuilds the tree
    // (atNodeChange); a document the user holds checked out is watched again.
    virtual void SperrDokuAction(QObject* Sender, QObject* Source, TSperrDokuActionType ActionType) = 0;
    // The window's own document object.
    virtual TDokument* Dokument1() = 0;
};
extern Rtl::HookSlot<IFormDokments*(QObject* owner, const QString& table, const QString& recId,
                                    TVoskClass* dokumentClass)>
    FormDokments;

// What the scan button of a module form tells the document window: the ident of the document it
// scans into.
class IScanButton {
public:
    virtual ~IScanButton() = default;
    virtual QString Dokident__Get() = 0;
};

} // namespace UModulFormSeams
