#include "TIdeMainForm.h"

#include "IdeServices.h"
#include "TIdeDialogs.h"

#include "DesignEditors.h"
#include "ToolsAPI.h"
#include "Vcl.Components.h"
#include "Vcl.Services.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

using namespace DesignIntf;

namespace {

std::map<QString, const QMetaObject*>& designClasses() {
    static std::map<QString, const QMetaObject*> classes;
    return classes;
}

constexpr int ComponentRole = Qt::UserRole;

// While designing, a click selects the component under the mouse instead of working it.
class DesignClickFilter final : public QObject {
public:
    DesignClickFilter(TIdeDesigner& designer, QObject* parent)
        : QObject(parent), m_designer(designer) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            QObject* target = watched;
            while (target && !Vcl::Owner(target) && target != m_designer.GetRoot())
                target = target->parent();
            if (target)
                m_designer.Select(target);
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
        }
    }

private:
    TIdeDesigner& m_designer;
};

void showError(const QString& caption) {
    Vcl::Ask(Vcl::mtError, caption, Rtl::ExceptionMessage(std::current_exception()), Vcl::mbOK);
}

} // namespace

void RegisterDesignClass(const QMetaObject* meta) {
    designClasses()[Vcl::ClassName(meta).toLower()] = meta;
}

const QMetaObject* FindDesignClass(const QString& className) {
    const auto it = designClasses().find(className.toLower());
    return it == designClasses().end() ? nullptr : it->second;
}

// ---- designer ---------------------------------------------------------------------------------

void TIdeDesigner::Modified() {
    m_modified = true;
    emit modified();
}

QList<QObject*> TIdeDesigner::GetSelections() {
    if (m_selected)
        return {m_selected.data()};
    if (m_root)
        return {m_root.data()};
    return {};
}

void TIdeDesigner::Select(QObject* component) {
    if (m_selected == component)
        return;
    m_selected = component;
    emit selectionChanged();
}

// ---- main form --------------------------------------------------------------------------------

TIdeMainForm::TIdeMainForm(TIdeServices& services, QObject* owner)
    : Vcl::TForm(owner), m_services(services) {
    setObjectName(QStringLiteral("AppBuilder"));
    setWindowTitle(TIdeServices::ProductName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menu = new QMenuBar(this);
    layout->setMenuBar(menu);

    QMenu* file = menu->addMenu(QStringLiteral("&Datei"));
    QMenu* open = file->addMenu(QStringLiteral("Formular &öffnen"));
    for (const auto& [name, meta] : designClasses()) {
        const QString cls = Vcl::ClassName(meta);
        QAction* a = open->addAction(cls);
        a->setToolTip(QStringLiteral("%1 im Designer öffnen").arg(cls));
        connect(a, &QAction::triggered, this, [this, cls] { OpenForm(cls); });
    }
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Beenden"));
    quit->setToolTip(QStringLiteral("Die IDE beenden"));
    connect(quit, &QAction::triggered, this, [this] { Close(); });

    QMenu* component = menu->addMenu(QStringLiteral("&Komponente"));
    QAction* newAction = component->addAction(QStringLiteral("Neue &Aktion"));
    newAction->setToolTip(QStringLiteral("Eine Aktion der registrierten Aktionsklasse anlegen"));
    connect(newAction, &QAction::triggered, this, [this] { NewAction(); });

    MenuTools = menu->addMenu(QStringLiteral("&Tools"));
    QMenu* help = menu->addMenu(QStringLiteral("&Hilfe"));
    QAction* about = help->addAction(QStringLiteral("Ü&ber %1").arg(TIdeServices::ProductName));
    about->setToolTip(QStringLiteral("Version und geladene Erweiterungen"));
    connect(about, &QAction::triggered, this, [this] { showAbout(); });

    Palette = Vcl::Owned(this, new QTabWidget(this), QStringLiteral("Palette"));
    Palette->setAccessibleName(QStringLiteral("Komponentenpalette"));
    Palette->setToolTip(QStringLiteral("Komponenten der Packages; ein Klick setzt die Komponente "
                                       "auf das Formular"));
    Palette->setDocumentMode(true);
    Palette->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(Palette);

    auto* vertical = new QSplitter(Qt::Vertical, this);
    auto* horizontal = new QSplitter(Qt::Horizontal, vertical);
    TreeComponents = Vcl::Owned(this, new QTreeWidget(horizontal), QStringLiteral("TreeComponents"));
    TreeComponents->setHeaderLabels({QStringLiteral("Struktur")});
    TreeComponents->setAccessibleName(QStringLiteral("Struktur"));
    TreeComponents->setToolTip(QStringLiteral("Komponenten des Formulars; Rechtsklick zeigt die "
                                              "Befehle der Komponente"));
    TreeComponents->setContextMenuPolicy(Qt::CustomContextMenu);
    DesignArea = Vcl::Owned(this, new QScrollArea(horizontal), QStringLiteral("DesignArea"));
    DesignArea->setBackgroundRole(QPalette::Dark);
    DesignArea->setAccessibleName(QStringLiteral("Formular-Designer"));
    DesignArea->setToolTip(QStringLiteral("Das Formular im Entwurf; ein Klick wählt eine "
                                          "Komponente"));
    Inspector = Vcl::Owned(this, new QTreeWidget(horizontal), QStringLiteral("Inspector"));
    Inspector->setHeaderLabels({QStringLiteral("Eigenschaft"), QStringLiteral("Wert")});
    Inspector->setColumnWidth(0, 180);
    Inspector->setAccessibleName(QStringLiteral("Objektinspektor"));
    Inspector->setToolTip(QStringLiteral("Eigenschaften der gewählten Komponente"));
    horizontal->addWidget(TreeComponents);
    horizontal->addWidget(DesignArea);
    horizontal->addWidget(Inspector);
    horizontal->setSizes({240, 680, 380});
    MessageView = Vcl::Owned(this, new QListWidget(vertical), QStringLiteral("MessageView"));
    MessageView->setAccessibleName(QStringLiteral("Meldungen"));
    MessageView->setToolTip(QStringLiteral("Meldungen der IDE und der Erweiterungen"));
    vertical->addWidget(horizontal);
    vertical->addWidget(MessageView);
    vertical->setSizes({600, 160});
    layout->addWidget(vertical, 1);
    m_status = new QLabel(this);
    m_status->setContentsMargins(6, 2, 6, 2);
    m_status->setAccessibleName(QStringLiteral("Status"));
    m_status->setToolTip(QStringLiteral("Das Formular im Entwurf"));
    layout->addWidget(m_status);

    for (const QString& m : m_services.Messages())
        MessageView->addItem(m);
    connect(&m_services, &TIdeServices::messageAdded, this, [this](const QString& text) {
        MessageView->addItem(text);
        MessageView->scrollToBottom();
    });
    connect(&m_services, &TIdeServices::changed, this, [this] {
        RefreshToolsMenu();
        RefreshPalette();
    });
    connect(&m_designer, &TIdeDesigner::selectionChanged, this, [this] {
        RefreshInspector();
        QObject* sel = m_designer.GetSelections().value(0);
        for (QTreeWidgetItem* item : TreeComponents->findItems(QString(), Qt::MatchContains |
                                                                             Qt::MatchRecursive))
            if (item->data(0, ComponentRole).value<QObject*>() == sel)
                TreeComponents->setCurrentItem(item);
    });
    connect(&m_designer, &TIdeDesigner::modified, this, [this] {
        RefreshTree();
        RefreshInspector();
        m_status->setText(m_status->text().section(QStringLiteral(" – "), 0, 0) +
                          QStringLiteral(" – geändert"));
    });
    connect(TreeComponents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            m_designer.Select(item->data(0, ComponentRole).value<QObject*>());
    });
    connect(TreeComponents, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu(pos); });
    RefreshToolsMenu();
    RefreshPalette();
}

TIdeMainForm::~TIdeMainForm() {
    Inspector->clear();
    m_editors.clear();
    m_customModule.reset();
    delete m_form.data();
}

bool TIdeMainForm::OpenForm(const QString& className) {
    const QMetaObject* meta = FindDesignClass(className);
    if (!meta)
        return false;
    Inspector->clear();
    m_editors.clear();
    m_customModule.reset();
    delete m_form.data();
    QObject* created = meta->newInstance(Q_ARG(QObject*, nullptr));
    auto* widget = qobject_cast<QWidget*>(created);
    if (!widget) {
        delete created;
        return false;
    }
    m_form = widget;
    Vcl::SetDesigning(widget, true);
    widget->setWindowFlags(Qt::Widget);
    // The form in its own colours on the designer's darker ground. Its controls take their roles
    // from it, not from the ground: inherited from there, captions would be drawn in the light
    // colour that stands out from the dark (white on a white tab).
    widget->setPalette(QApplication::palette());
    widget->setBackgroundRole(QPalette::Window);
    widget->setForegroundRole(QPalette::WindowText);
    widget->setAutoFillBackground(true);
    DesignArea->setWidget(widget);
    widget->show();
    designClicks(widget);
    m_designer.SetRoot(widget);
    QString status = QStringLiteral("Entwurf: %1").arg(Vcl::ClassName(widget));
    if (const auto module = FindCustomModule(meta)) {
        m_customModule = module(widget, &m_designer);
        status += QStringLiteral(" (als Custom-Modul)");
    }
    m_status->setText(status);
    RefreshTree();
    m_designer.Select(widget);
    RefreshInspector();
    return true;
}

void TIdeMainForm::designClicks(QWidget* widget) {
    QObject* filter = widget->findChild<DesignClickFilter*>(QString(), Qt::FindDirectChildrenOnly);
    if (!filter)
        filter = new DesignClickFilter(m_designer, m_form ? m_form.data() : widget);
    for (QWidget* w : widget->findChildren<QWidget*>())
        w->installEventFilter(filter);
    widget->installEventFilter(filter);
}

void TIdeMainForm::RefreshPalette() {
    const QString current = Palette->count() ? Palette->tabText(Palette->currentIndex()) : QString();
    while (Palette->count()) {
        QWidget* page = Palette->widget(0);
        Palette->removeTab(0);
        delete page;
    }
    for (const QString& page : PalettePages()) {
        auto* bar = new QWidget;
        bar->setAccessibleName(page);
        auto* row = new QHBoxLayout(bar);
        row->setContentsMargins(4, 2, 4, 2);
        row->setSpacing(2);
        for (const Vcl::TComponentClass& cls : PaletteClasses(page)) {
            const QString name = Vcl::ClassName(cls.Meta);
            auto* button = new QToolButton(bar);
            button->setObjectName(QStringLiteral("Palette_") + name);
            button->setText(name);
            button->setAutoRaise(true);
            button->setAccessibleName(name);
            button->setToolTip(QStringLiteral("%1 auf das Formular setzen").arg(name));
            connect(button, &QToolButton::clicked, this, [this, name] { PlaceComponent(name); });
            row->addWidget(button);
        }
        row->addStretch(1);
        Palette->addTab(bar, page);
        Palette->setTabToolTip(Palette->count() - 1,
                               QStringLiteral("Komponenten der Seite %1").arg(page));
    }
    for (int i = 0; i < Palette->count(); ++i)
        if (Palette->tabText(i) == current)
            Palette->setCurrentIndex(i);
    Palette->setVisible(Palette->count() > 0);
}

QWidget* TIdeMainForm::containerFor(QObject* selected) const {
    auto* root = qobject_cast<QWidget*>(m_form.data());
    // A container of the form's own: a page, a plain panel or a group box it owns. A frame or
    // control takes nothing in, so the search goes on outwards.
    for (auto* w = qobject_cast<QWidget*>(selected); w && w != root; w = w->parentWidget())
        if (Vcl::Owner(w) == root &&
            (w->metaObject() == &QWidget::staticMetaObject || qobject_cast<QGroupBox*>(w) ||
             Vcl::InheritsFromName(w, QStringLiteral("TcxTabSheet"))))
            return w;
    return root;
}

QObject* TIdeMainForm::PlaceComponent(const QString& className) {
    auto* form = qobject_cast<QWidget*>(m_form.data());
    const Vcl::TComponentClass* found = FindPaletteClass(className);
    if (!form || !found)
        return nullptr;
    const Vcl::TComponentClass cls = *found; // the palette may change while it is made
    QWidget* container = containerFor(m_designer.GetSelections().value(0));
    QObject* component = nullptr;
    try {
        component = cls.Create(form, container);
    } catch (...) {
        showError(Vcl::ClassName(cls.Meta));
        return nullptr;
    }
    if (!component)
        return nullptr;
    if (Vcl::Owner(component) != form)
        Vcl::SetOwner(component, form);
    QString base = Vcl::ClassName(cls.Meta);
    if (base.size() > 1 && base.startsWith(QLatin1Char('T')))
        base.remove(0, 1);
    int n = 1;
    while (Vcl::FindComponent(form, base + QString::number(n)))
        ++n;
    component->setObjectName(base + QString::number(n));
    if (auto* w = qobject_cast<QWidget*>(component)) {
        if (w->parentWidget() != container)
            w->setParent(container);
        if (!container->layout()) {
            // A bare panel stacks what it holds, in the order it came.
            auto* stack = new QVBoxLayout(container);
            for (QWidget* child : container->findChildren<QWidget*>(QString(),
                                                                    Qt::FindDirectChildrenOnly))
                if (child != w && !child->isWindow())
                    stack->addWidget(child);
        }
        if (auto* formLayout = qobject_cast<QFormLayout*>(container->layout())) {
            formLayout->addRow(w);
        } else if (auto* box = qobject_cast<QBoxLayout*>(container->layout())) {
            // Before a closing stretch, so that it lands under the others.
            int at = box->count();
            if (at > 0 && box->itemAt(at - 1)->spacerItem())
                --at;
            box->insertWidget(at, w);
        } else if (auto* grid = qobject_cast<QGridLayout*>(container->layout())) {
            grid->addWidget(w, grid->rowCount(), 0, 1, std::max(1, grid->columnCount()));
        } else {
            container->layout()->addWidget(w);
        }
        w->show();
        designClicks(w);
        form->resize(form->size().expandedTo(form->minimumSizeHint()));
    }
    m_designer.Modified();
    m_designer.Select(component);
    return component;
}

void TIdeMainForm::RefreshTree() {
    TreeComponents->blockSignals(true);
    TreeComponents->clear();
    std::function<void(QTreeWidgetItem*, QObject*)> add = [&](QTreeWidgetItem* parent, QObject* c) {
        const QString text = QStringLiteral("%1: %2").arg(
            c->objectName().isEmpty() ? QStringLiteral("(ohne Namen)") : c->objectName(),
            Vcl::ClassName(c));
        auto* item = parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(TreeComponents, {text});
        item->setData(0, ComponentRole, QVariant::fromValue(c));
        for (QObject* child : Vcl::Components(c))
            add(item, child);
    };
    if (m_form)
        add(nullptr, m_form);
    TreeComponents->expandAll();
    TreeComponents->blockSignals(false);
}

void TIdeMainForm::addPropertyItem(QTreeWidgetItem* parent, std::unique_ptr<TPropertyEditor> e,
                                   int depth) {
    TPropertyEditor* editor = e.get();
    m_editors.push_back(std::move(e));
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Inspector);
    const TPropertyAttributes attrs = editor->GetAttributes();
    const QString name = editor->GetName();
    item->setText(0, name);
    item->setToolTip(0, name);
    QString value;
    try {
        value = editor->GetValue();
    } catch (...) {
        value = QStringLiteral("(Fehler)");
    }
    const auto commit = [this, editor](const QString& text) {
        try {
            if (text != editor->GetValue())
                editor->SetValue(text);
        } catch (...) {
            showError(QStringLiteral("Eigenschaft %1").arg(editor->GetName()));
            RefreshInspector();
        }
    };
    if (attrs & paSubProperties) {
        item->setText(1, value);
        if (depth < 3)
            for (auto& sub : editor->GetProperties())
                addPropertyItem(item, std::move(sub), depth + 1);
        return;
    }
    if (attrs & paDialog) {
        auto* box = new QWidget;
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(value);
        edit->setReadOnly(attrs & paReadOnly);
        edit->setAccessibleName(name);
        edit->setToolTip(name);
        auto* button = new QToolButton;
        button->setText(QStringLiteral("…"));
        button->setAccessibleName(QStringLiteral("%1 bearbeiten").arg(name));
        button->setToolTip(QStringLiteral("%1 im Dialog bearbeiten").arg(name));
        h->addWidget(edit, 1);
        h->addWidget(button);
        connect(edit, &QLineEdit::editingFinished, this, [edit, commit] { commit(edit->text()); });
        connect(button, &QToolButton::clicked, this, [this, editor] {
            try {
                editor->Edit();
            } catch (...) {
                showError(QStringLiteral("Eigenschaft %1").arg(editor->GetName()));
            }
            RefreshInspector();
        });
        Inspector->setItemWidget(item, 1, box);
        return;
    }
    if (attrs & paReadOnly) {
        item->setText(1, value);
        item->setToolTip(1, QStringLiteral("%1 (schreibgeschützt)").arg(name));
        return;
    }
    if (attrs & paValueList) {
        auto* combo = new QComboBox;
        combo->setEditable(attrs & paValueEditable);
        editor->GetValues([combo](const QString& v) { combo->addItem(v); });
        if (combo->findText(value) < 0)
            combo->insertItem(0, value);
        combo->setCurrentText(value);
        combo->setAccessibleName(name);
        combo->setToolTip(name);
        connect(combo, &QComboBox::textActivated, this, commit);
        Inspector->setItemWidget(item, 1, combo);
        return;
    }
    auto* edit = new QLineEdit(value);
    edit->setAccessibleName(name);
    edit->setToolTip(name);
    connect(edit, &QLineEdit::editingFinished, this, [edit, commit] { commit(edit->text()); });
    Inspector->setItemWidget(item, 1, edit);
}

void TIdeMainForm::RefreshInspector() {
    Inspector->clear();
    m_editors.clear();
    const QList<QObject*> selection = m_designer.GetSelections();
    if (selection.isEmpty())
        return;
    QObject* c = selection.first();
    const QMetaObject* meta = c->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty prop = meta->property(i);
        if (!prop.isDesignable())
            continue;
        if (auto editor = GetPropertyEditor(&m_designer, selection, prop))
            addPropertyItem(nullptr, std::move(editor), 0);
    }
    Inspector->scrollToTop();
}

void TIdeMainForm::RefreshToolsMenu() {
    MenuTools->clear();
    for (const auto& [index, wizard] : m_services.Wizards()) {
        QAction* a = MenuTools->addAction(wizard->GetMenuText());
        a->setToolTip(wizard->GetName());
        a->setEnabled(wizard->GetState() == ToolsAPI::TWizardState::Enabled);
        const int idx = index;
        connect(a, &QAction::triggered, this, [this, idx] {
            const auto wizards = m_services.Wizards();
            if (const auto it = wizards.find(idx); it != wizards.end()) {
                try {
                    it->second->Execute();
                } catch (...) {
                    showError(it->second->GetName());
                }
            }
        });
    }
    MenuTools->addSeparator();
    QAction* options = MenuTools->addAction(QStringLiteral("&Optionen…"));
    options->setToolTip(QStringLiteral("Umgebungsvariablen, Optionen und Packages der IDE"));
    connect(options, &QAction::triggered, this, [this] { showOptions(); });
}

QObject* TIdeMainForm::NewAction() {
    if (!m_form)
        return nullptr;
    QObject* action = ToolsAPI::CreateDefaultAction(QStringLiteral("VCL"), m_form);
    if (!action) {
        Vcl::Ask(Vcl::mtError, TIdeServices::ProductName,
                 QStringLiteral("Keine Aktionsklasse für \"VCL\" registriert."), Vcl::mbOK);
        return nullptr;
    }
    Vcl::SetOwner(action, m_form);
    int n = 1;
    while (Vcl::FindComponent(m_form, QStringLiteral("Action%1").arg(n)))
        ++n;
    action->setObjectName(QStringLiteral("Action%1").arg(n));
    m_designer.Modified();
    m_designer.Select(action);
    return action;
}

QStringList TIdeMainForm::Verbs(QObject* component) {
    QStringList verbs;
    if (!component)
        return verbs;
    if (auto editor = GetComponentEditor(component, &m_designer))
        for (int i = 0; i < editor->GetVerbCount(); ++i)
            verbs << editor->GetVerb(i);
    if (component == m_form && m_customModule)
        for (int i = 0; i < m_customModule->GetVerbCount(); ++i)
            verbs << m_customModule->GetVerb(i);
    return verbs;
}

void TIdeMainForm::ExecuteVerb(QObject* component, int index) {
    try {
        auto editor = GetComponentEditor(component, &m_designer);
        const int own = editor ? editor->GetVerbCount() : 0;
        if (index < own)
            editor->ExecuteVerb(index);
        else if (component == m_form && m_customModule)
            m_customModule->ExecuteVerb(index - own);
    } catch (...) {
        showError(Vcl::ClassName(component));
    }
    RefreshInspector();
}

void TIdeMainForm::contextMenu(const QPoint& pos) {
    QTreeWidgetItem* item = TreeComponents->itemAt(pos);
    if (!item)
        return;
    QObject* component = item->data(0, ComponentRole).value<QObject*>();
    const QStringList verbs = Verbs(component);
    if (verbs.isEmpty())
        return;
    QMenu menu(this);
    for (int i = 0; i < verbs.size(); ++i) {
        QAction* a = menu.addAction(verbs[i]);
        a->setToolTip(verbs[i]);
        connect(a, &QAction::triggered, this, [this, component, i] { ExecuteVerb(component, i); });
    }
    menu.exec(TreeComponents->viewport()->mapToGlobal(pos));
}

void TIdeMainForm::showAbout() { TIdeAboutBox::Execute(m_services, this); }

void TIdeMainForm::showOptions() { TIdeOptionsDialog::Execute(m_services, this); }
