#pragma once
// The IDE's main window: the component palette on top, the designed form in the middle, its
// component tree on the left, the property inspector on the right and the message view below.
// The Tools menu lists the packages' wizards; the context menu of a component offers its editor's
// verbs. A palette button places its component on the designed form.

#include "DesignIntf.h"
#include "Vcl.Forms.h"

#include <QPointer>

#include <memory>

class QLabel;
class QListWidget;
class QMenu;
class QScrollArea;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TIdeServices;

// The designer of one designed form.
class TIdeDesigner final : public QObject, public DesignIntf::IDesigner {
    Q_OBJECT
public:
    explicit TIdeDesigner(QObject* parent = nullptr) : QObject(parent) {}
    QObject* GetRoot() override { return m_root; }
    void Modified() override;
    QList<QObject*> GetSelections() override;

    void SetRoot(QObject* root) { m_root = root; }
    void Select(QObject* component);
    bool IsModified() const { return m_modified; }

signals:
    void modified();
    void selectionChanged();

private:
    QPointer<QObject> m_root;
    QPointer<QObject> m_selected;
    bool m_modified = false;
};

class TIdeMainForm final : public Vcl::TForm {
    Q_OBJECT
public:
    explicit TIdeMainForm(TIdeServices& services, QObject* owner = nullptr);
    ~TIdeMainForm() override;

    // Creates the form of that class, designing, and shows it; false when the class is unknown.
    bool OpenForm(const QString& className);
    QObject* DesignedForm() const { return m_form; }
    TIdeDesigner& Designer() { return m_designer; }

    // Rebuilt from the designed form and the selection.
    void RefreshTree();
    void RefreshInspector();
    void RefreshToolsMenu();
    // A new action of the "VCL" framework's default class, owned by the designed form.
    QObject* NewAction();
    // The verbs of the selected component's editor, and of a custom module on the root.
    QStringList Verbs(QObject* component);
    void ExecuteVerb(QObject* component, int index);
    // Rebuilt from the packages' registrations: a page of buttons per palette page.
    void RefreshPalette();
    // A new component of the palette class on the designed form, owned by it and named after the
    // class ("FrameBt1"), inside the selected container (a page, panel or group box of the form)
    // or else the form; it becomes the selection. Null when there is no such class or no form.
    QObject* PlaceComponent(const QString& className);

    QTabWidget* Palette;
    QTreeWidget* TreeComponents;
    QTreeWidget* Inspector;
    QListWidget* MessageView;
    QScrollArea* DesignArea;
    QMenu* MenuTools;

private:
    void addPropertyItem(QTreeWidgetItem* parent, std::unique_ptr<DesignIntf::TPropertyEditor> e,
                         int depth);
    void showAbout();
    void showOptions();
    void contextMenu(const QPoint& pos);
    QWidget* containerFor(QObject* selected) const;
    // Clicks on the form and everything in it select instead of working the control.
    void designClicks(QWidget* widget);

    TIdeServices& m_services;
    TIdeDesigner m_designer;
    QPointer<QObject> m_form;
    std::unique_ptr<DesignIntf::TCustomModule> m_customModule;
    std::vector<std::unique_ptr<DesignIntf::TPropertyEditor>> m_editors;
    QLabel* m_status;
};

// Classes the IDE can design, by name.
void RegisterDesignClass(const QMetaObject* meta);
const QMetaObject* FindDesignClass(const QString& className);
