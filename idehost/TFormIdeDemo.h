#pragma once
// The form the IDE opens by default: a form of the ERP's base class with a few plain controls, so
// that the designer, the component tree and the inspector have something to show, and a component
// for each of the ERP's own property editors.

#include "Q32GrundForm.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TcxPageControl;
class TcxSplitter;
class TcxTabSheet;

class TFormIdeDemo final : public TVoskBaseForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFormIdeDemo(QObject* owner = nullptr);

    QLabel* LabelName;
    QLineEdit* EditName;
    QCheckBox* CheckAktiv;
    QPushButton* ButtonSpeichern;
    TcxPageControl* PageControlSeiten;
    TcxTabSheet* TabSheetKopf;
    TcxTabSheet* TabSheetPositionen;
    QWidget* PanelListe;
    TcxSplitter* SplitterListe;
    QWidget* PanelDetail;
};
