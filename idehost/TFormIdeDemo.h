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
class TFrameDBNav;
class TLayoutFrameGrid;
class TTopLabelFrame;
class TVoskAction;
class TVoskClass2;
class TVoskGridViewColumnHandler;
class TVoskMenuItem;
class TVoskTabSheet;
class TVoskPopupMenu;

class TFormIdeDemo final : public TVoskBaseForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFormIdeDemo(QObject* owner = nullptr);

    TTopLabelFrame* TopLabel;
    QLabel* LabelName;
    QLineEdit* EditName;
    QCheckBox* CheckAktiv;
    QPushButton* ButtonSpeichern;
    TcxPageControl* PageControlSeiten;
    TcxTabSheet* TabSheetKopf;
    TcxTabSheet* TabSheetPositionen;
    TVoskTabSheet* TabSheetNotizen;
    TFrameDBNav* FrameDBNavPositionen;
    TLayoutFrameGrid* LayoutFrameNotizen;
    QWidget* PanelListe;
    TcxSplitter* SplitterListe;
    QWidget* PanelDetail;
    TVoskAction* ActionSpeichern;
    TVoskPopupMenu* PopupListe;
    TVoskMenuItem* MenuItemNeu;
    TVoskMenuItem* MenuItemLoeschen;
    TVoskClass2* DataAdressen;
    TVoskGridViewColumnHandler* ColumnHandlerName;
};
