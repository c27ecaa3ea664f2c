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

class TFormAdress final : public TModulForm {
    Q_OBJECT
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

    void FormCreate(QObject* sender) override;

    // Creates the module with its parameters and puts it on screen.
    static TFormAdress* Open(QObject* owner = nullptr, const QStringList& parameters = {});
};
