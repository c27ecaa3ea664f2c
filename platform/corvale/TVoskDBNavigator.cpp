#include "TVoskDBNavigator.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <Vcl.Services.h>
#include <VoskExceptions.h>

#include <QAction>

namespace {

struct ButtonInfo {
    const char* name;
    const char* symbol;
    const char* hint;
};

const ButtonInfo kButtons[] = {
    {"nbFirst", "|◀", "Erster Datensatz"},        {"nbPrior", "◀", "Vorheriger Datensatz"},
    {"nbNext", "▶", "Nächster Datensatz"},         {"nbLast", "▶|", "Letzter Datensatz"},
    {"nbInsert", "+", "Datensatz einfügen"},       {"nbDelete", "−", "Datensatz löschen"},
    {"nbEdit", "✎", "Datensatz bearbeiten"},       {"nbPost", "✔", "Änderungen speichern"},
    {"nbCancel", "✖", "Änderungen verwerfen"},     {"nbRefresh", "↻", "Daten aktualisieren"},
};

} // namespace

TVoskDBNavigator::TVoskDBNavigator(QWidget* parent) : QToolBar(parent) {
    for (int b = nbFirst; b <= nbRefresh; ++b) {
        const ButtonInfo& info = kButtons[b];
        QAction* a = addAction(QString::fromUtf8(info.symbol));
        a->setObjectName(QLatin1String(info.name));
        a->setToolTip(QString::fromUtf8(info.hint));
        connect(a, &QAction::triggered, this,
                [this, b] { Rtl::Guarded([&] { BtnClick(NavBtn(b)); }, this); });
        m_actions[b] = a;
    }
    m_visible = AllButtons();
    updateButtons();
}

NavBtnSet TVoskDBNavigator::AllButtons() {
    NavBtnSet all;
    for (int b = nbFirst; b <= nbRefresh; ++b)
        all.insert(NavBtn(b));
    return all;
}

void TVoskDBNavigator::SetVisibleButtons(const NavBtnSet& buttons) {
    m_visible = buttons;
    for (int b = nbFirst; b <= nbRefresh; ++b)
        m_actions[b]->setVisible(m_visible.contains(NavBtn(b)));
}

void TVoskDBNavigator::SetDataSource(TVoskClass* dataClass) {
    for (const auto& c : m_links)
        disconnect(c);
    m_links.clear();
    m_class = dataClass;
    if (dataClass) {
        m_links << connect(dataClass, &TVoskClass::StateChanged, this,
                           &TVoskDBNavigator::updateButtons)
                << connect(dataClass, &TVoskClass::CurrentChanged, this,
                           &TVoskDBNavigator::updateButtons)
                << connect(dataClass, &TVoskClass::RowsReset, this,
                           &TVoskDBNavigator::updateButtons);
    }
    updateButtons();
}

void TVoskDBNavigator::updateButtons() {
    TVoskClass* c = m_class;
    const bool active = c && c->Active();
    const bool editing = active && c->InEdit();
    const bool canModify = active && c->CanModify();
    const int recNo = active ? c->RecNo() : 0;
    const int count = active ? c->RecordCount() : 0;
    m_actions[nbFirst]->setEnabled(active && recNo > 1);
    m_actions[nbPrior]->setEnabled(active && recNo > 1);
    m_actions[nbNext]->setEnabled(active && recNo < count);
    m_actions[nbLast]->setEnabled(active && recNo < count);
    m_actions[nbInsert]->setEnabled(canModify);
    m_actions[nbDelete]->setEnabled(canModify && count > 0);
    m_actions[nbEdit]->setEnabled(canModify && !editing && count > 0);
    m_actions[nbPost]->setEnabled(canModify && editing);
    m_actions[nbCancel]->setEnabled(canModify && editing);
    m_actions[nbRefresh]->setEnabled(active);
}

void TVoskDBNavigator::BtnClick(NavBtn button) {
    if (!m_class)
        return;
    if (BeforeAction)
        BeforeAction(button);
    TVoskClass& c = *m_class;
    switch (button) {
    case nbFirst: c.First(); break;
    case nbPrior: c.Prior(); break;
    case nbNext: c.Next(); break;
    case nbLast: c.Last(); break;
    case nbInsert: c.Insert(); break;
    case nbDelete:
        if (m_confirmDelete && Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("Datensatz löschen?"),
                                        Vcl::mbYesNo, Vcl::mbNo, {}, window()) != Vcl::mrYes)
            return;
        c.Delete();
        break;
    case nbEdit: c.Edit(); break;
    case nbPost: c.Post(); break;
    case nbCancel: c.Cancel(); break;
    case nbRefresh: c.Refresh(); break;
    }
    updateButtons();
}
