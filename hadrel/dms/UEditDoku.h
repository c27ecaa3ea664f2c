#pragma once
// The window "Dokument-Eigenschaften bearbeiten": a module form that edits one stored document
// through the properties frame, on a document object of its own.

#include "UModulForm.h"

#include <QPoint>
#include <QRect>
#include <QSize>

class TDokument;
class TFrameDokumentEigenschaften;
class TQ32Control;

class TFormDoku final : public TModulForm {
    Q_OBJECT
    Q_CLASSINFO("UnitName", "UEditDoku")
public:
    explicit TFormDoku(QObject* owner = nullptr, QWidget* parent = nullptr);

    TFrameDokumentEigenschaften* FrameDokumentEigenschaften1;
    TDokument* Dokument2;
    TQ32Control* Q32Control1;

    // The header's status-bar switches apply once the module form is set up.
    void FormCreate(QObject* sender) override;
    // Without a stored place it opens beside the window it was opened from.
    void FormShow(QObject* sender) override;
    void Dokument2AfterScroll();
    void Dokument2AfterPost();
    // Esc closes the window, and so does Ctrl+Q; both keys are consumed.
    void FormKeyUp(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
};

namespace UImpDoku {
// Where a new window of size opens from its owner (both frame geometries) inside screen: beside
// it, right or left, where there is room, else cascaded down and right from its corner, so that
// the owner's title and menu bar stay in sight.
QPoint BesideOrCascaded(const QSize& size, const QRect& owner, const QRect& screen);
} // namespace UImpDoku
