#pragma once
// The sample stock-receipt module of the demo host: the stock documents (ldsdok) in a grid under
// the header, and below them the serial numbers of the current document with its preset panel.
// The print button prints the serial-number labels.

#include "UModulForm.h"

class TFrameProduktSerNr;
class TVoskClass2;
class TVoskDBGrid2;

class TFormLagerzugang final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormLagerzugang(QObject* owner = nullptr, QWidget* parent = nullptr);

    TVoskClass2* DataLdsdok;
    TVoskDBGrid2* GridLdsdok;
    TFrameProduktSerNr* FrameProduktSerNr;

    void FormCreate(QObject* sender) override;
};
