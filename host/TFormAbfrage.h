#pragma once
// The sample query module: the SQL editor frame with its syntax check over a dataset frame with
// the rows of its text, read again on every refresh.

#include "UModulForm.h"

class TFrameDataSet;
class TFrameSQLEditor;
class TVoskClass2;
namespace Vcl {
class TDataSource;
}

class TFormAbfrage final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormAbfrage(QObject* owner = nullptr, QWidget* parent = nullptr);

    TFrameSQLEditor* FrameSQLEditor;
    TVoskClass2* DataAbfrage;
    Vcl::TDataSource* DSAbfrage;
    TFrameDataSet* FrameDataSet;

    void FormCreate(QObject* sender) override;

    static TFormAbfrage* Open(QObject* owner = nullptr, const QStringList& parameters = {});
};
