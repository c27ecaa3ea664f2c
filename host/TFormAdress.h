#pragma once
// The sample module over the demo address table: the header with its navigator, a grid of all
// addresses, edits of the current one and a grid of its contact persons. It stands for the ERP's own modules.

#include "UModulForm.h"

class QLabel;
class TVoskClass2;
class TVoskDBEdit;
class TVoskDBGrid2;
class TFrameDBNav;
class TVoskPageControl2;
class TRecNoParams;
class TFrameRecnoParams;
class TFrameRecnoEnumGrid;
class TVoskDocumentList;
class TVoskDocumentViewer;

class TFormAdress final : public TModulForm {
    Q_OBJECT
    Q_CLASSINFO("UnitName", "TFormAdress")
public:
    explicit TFormAdress(QObject* owner = nullptr, QWidget* parent = nullptr);

    TVoskClass2* DataAdressen;
    TVoskDBGrid2* GridAdressen;
    TVoskDBEdit* EdName;
    TVoskDBEdit* EdStrasse;
    TVoskDBEdit* EdPlz;
    TVoskDBEdit* EdOrt;
    TVoskDBEdit* EdTelefon;
    TVoskDBEdit* EdEmail;
    // The contact persons of the current address, with their own navigation frame.
    TVoskClass2* DataAnsprechpartner;
    TFrameDBNav* FrameAnsprechpartner;
    TVoskDBGrid2* GridAnsprechpartner;
    TVoskPageControl2* PageControlAdresse;
    // The record parameters of the current address and the check list of its shipping methods,
    // on a page made when it is first shown (null until then).
    TRecNoParams* RecNoParamsAdresse;
    TFrameRecnoParams* FrameRecnoParams = nullptr;
    TFrameRecnoEnumGrid* FrameRecnoEnumGrid = nullptr;
    // The documents of the current address and the preview of the focused one, on a page made
    // when it is first shown (null until then).
    TVoskDocumentList* DokumentListe = nullptr;
    TVoskDocumentViewer* DokumentVorschau = nullptr;

    void FormCreate(QObject* sender) override;
    // Start parameter "Dokumente=True": the record's document window opens with the module;
    // with "Eigenschaften=True" as well, the focused document's properties window too.
    // "Seite=<caption>" shows that page of the address first.
    void FormShow(QObject* sender) override;

private:
    bool m_documentsStarted = false;

public:
    // Reads the parameters of the current address while their page is shown.
    void RecNoParamsFollow();
    // Lists the documents of the current address while their page is shown.
    void DokumentListeFollow();
    void buildDocumentPage(QWidget* page);

    // Creates the module with its parameters and puts it on screen.
    static TFormAdress* Open(QObject* owner = nullptr, const QStringList& parameters = {});

private:
    void buildParameterPage(QWidget* page);
    void followShippingMethods();
    QWidget* m_paramPage = nullptr;
    bool m_started = false; // the form's components have been started
};
