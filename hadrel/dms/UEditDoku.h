#pragma once
// The window "Dokument-Eigenschaften bearbeiten": a module form that edits one stored document
// through the properties frame, on a document object of its own.

#include "UModulForm.h"

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
    void Dokument2AfterScroll();
    void Dokument2AfterPost();
    // Esc closes the window, and so does Ctrl+Q; both keys are consumed.
    void FormKeyUp(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) override;
};
