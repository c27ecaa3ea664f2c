#pragma once
// The address module and a module of the editors the key table knows, on the suite's database,
// with a recording lookup procedure and a probe that tells whether a key reached a control.

#include "ModulFormFixture.h"

#include "TQ32Control.h"
#include "UModulForm.Start.h"
#include "VoskF2Controls.h"
#include "VoskKeyControls.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QPointer>
#include <QStringListModel>

// Counts the key presses that reach the watched control (after the forms had their turn); the
// modifier keys pressed before a combination do not count.
class KeyProbe final : public QObject {
public:
    explicit KeyProbe(QWidget* w) : QObject(w) { w->installEventFilter(this); }
    int presses = 0;
    QList<int> keys;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt &&
            key != Qt::Key_Meta) {
            ++presses;
            keys << key;
        }
        return false;
    }
};

// A module with one editor of each kind the keys handle differently.
class TFormKeys final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormKeys(QObject* owner = nullptr, QWidget* parent = nullptr)
        : TModulForm(owner, parent) {
        setObjectName(QStringLiteral("FormKeys"));
        Pages = Vcl::Owned(this, new TVoskPageControl2(this), QStringLiteral("Pages"));
        for (int i = 0; i < 3; ++i) {
            auto* page = new QWidget(Pages);
            auto* edit =
                Vcl::Owned(this, new TVoskEdit(page), QStringLiteral("EdPage%1").arg(i + 1));
            auto* box = new QVBoxLayout(page);
            box->addWidget(edit);
            PageEdits << edit;
            Pages->addTab(page, QStringLiteral("Seite %1").arg(i + 1));
        }
        ModulLayout()->addWidget(Pages);
        EdSuche = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("EdSuche"));
        auto* completer = new QCompleter(
            new QStringListModel({QStringLiteral("Aachen"), QStringLiteral("Augsburg")}, this),
            EdSuche);
        EdSuche->setCompleter(completer);
        ModulLayout()->addWidget(EdSuche);
        Memo = Vcl::Owned(this, new TVoskMemo(this), QStringLiteral("Memo"));
        ModulLayout()->addWidget(Memo);
        EdNach = Vcl::Owned(this, new TVoskEdit(this), QStringLiteral("EdNach"));
        ModulLayout()->addWidget(EdNach);
        Lookup = Vcl::Owned(this, new TVoskLookupEdit(this), QStringLiteral("Lookup"));
        Lookup->setEditable(true);
        ModulLayout()->addWidget(Lookup);
        Button = Vcl::Owned(this, new TVoskButton(this), QStringLiteral("Button"));
        Button->setText(QStringLiteral("Übernehmen"));
        ModulLayout()->addWidget(Button);
        EdDatum = Vcl::Owned(this, new TVoskDateEdit(this), QStringLiteral("EdDatum"));
        ModulLayout()->addWidget(EdDatum);
    }

    TVoskPageControl2* Pages;
    QList<TVoskEdit*> PageEdits;
    TVoskEdit* EdSuche;
    TVoskMemo* Memo;
    TVoskEdit* EdNach;
    TVoskLookupEdit* Lookup;
    TVoskButton* Button;
    TVoskDateEdit* EdDatum;
};

class KeysFixture : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        m_oldMakeF2 = MakeF2Proc;
        MakeF2Proc = [this](TF2Result&, QWidget* module, QObject* field,
                            std::unique_ptr<QStringList> params, TMakeF2Event) {
            m_lookups.push_back({module, field, params ? *params : QStringList()});
        };
    }
    void TearDown() override {
        MakeF2Proc = m_oldMakeF2;
        ModulFormFixture::TearDown();
    }

    TFormKeys* OpenKeys() {
        auto* f = Track(TFormKorvexGundForm::Create<TFormKeys>(nullptr, {}));
        UModulForm::ShowModulForm(f);
        QApplication::processEvents();
        return f;
    }
    // Puts the focus where the user clicked.
    static void Focus(QWidget* w) {
        w->window()->activateWindow();
        // A window activation arriving late on a loaded machine may take the focus back.
        for (int i = 0; i < 5 && QApplication::focusWidget() != w; ++i) {
            w->setFocus(Qt::MouseFocusReason);
            QApplication::processEvents();
        }
    }

    // Opens the in-place editor of a grid's or tree list's cell and puts the focus into it. A window activation
    // arriving late on a loaded machine may take the focus back, and a cell editor that loses
    // the focus closes (it is deleted later): only the cell's live editor counts, opened again
    // until it holds the window's focus.
    static QLineEdit* OpenCell(QAbstractItemView* view, const QModelIndex& cell) {
        Focus(view);
        view->setCurrentIndex(cell);
        for (int i = 0; i < 5; ++i) {
            auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(cell));
            if (!editor) {
                view->edit(cell);
                QApplication::processEvents();
                continue;
            }
            if (view->window()->focusWidget() == editor)
                break;
            editor->setFocus();
            QApplication::processEvents();
        }
        return qobject_cast<QLineEdit*>(view->indexWidget(cell));
    }

    struct Lookup {
        QPointer<QWidget> module;
        QPointer<QObject> field;
        QStringList params;
    };
    std::vector<Lookup> m_lookups;
    TMakeF2Proc m_oldMakeF2;
};
