#include "TVoskDBNavigator.h"

#include <EventGuard.h>
#include <TVoskClass.h>
#include <Vcl.Services.h>
#include <VoskExceptions.h>

#include <QAction>

#include <bit>

namespace {

struct ButtonInfo {
    NavBtn button;
    const char* name;
    const char* symbol;
    const char* hint;
};

// In the order the bar shows them, which is also the order of the bits.
const ButtonInfo kButtons[] = {
    {nbFirst, "nbFirst", "|◀", "Erster Datensatz"},
    {nbPrior, "nbPrior", "◀", "Vorheriger Datensatz"},
    {nbNext, "nbNext", "▶", "Nächster Datensatz"},
    {nbLast, "nbLast", "▶|", "Letzter Datensatz"},
    {nbInsert, "nbInsert", "+", "Datensatz einfügen"},
    {nbDelete, "nbDelete", "−", "Datensatz löschen"},
    {nbEdit, "nbEdit", "✎", "Datensatz bearbeiten"},
    {nbPost, "nbPost", "✔", "Änderungen speichern"},
    {nbCancel, "nbCancel", "✖", "Änderungen verwerfen"},
    {nbRefresh, "nbRefresh", "↻", "Daten aktualisieren"},
};

int indexOf(NavBtn button) { return std::countr_zero(unsigned(button)); }

} // namespace

TVoskDBNavigator::TVoskDBNavigator(QWidget* parent) : QToolBar(parent) {
    static_assert(std::size(kButtons) == kButtonCount);
    for (const ButtonInfo& info : kButtons) {
        QAction* a = addAction(QString::fromUtf8(info.symbol));
        a->setObjectName(QLatin1String(info.name));
        a->setToolTip(QString::fromUtf8(info.hint));
        const NavBtn b = info.button;
        connect(a, &QAction::triggered, this,
                [this, b] { Rtl::Guarded([&] { BtnClick(b); }, this); });
        m_actions[indexOf(b)] = a;
    }
    m_visible = AllButtons();
    updateButtons();
}

NavBtnSet TVoskDBNavigator::AllButtons() {
    NavBtnSet all;
    for (const ButtonInfo& info : kButtons)
        all |= info.button;
    return all;
}

QAction* TVoskDBNavigator::ButtonControl(NavBtn button) const {
    const int i = indexOf(button);
    return i < kButtonCount ? m_actions[i] : nullptr;
}

void TVoskDBNavigator::SetVisibleButtons(NavBtnSet buttons) {
    m_visible = buttons & AllButtons();
    for (const ButtonInfo& info : kButtons)
        ButtonControl(info.button)->setVisible(m_visible.testFlag(info.button));
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
    const auto enable = [this](NavBtn b, bool on) { ButtonControl(b)->setEnabled(on); };
    enable(nbFirst, active && recNo > 1);
    enable(nbPrior, active && recNo > 1);
    enable(nbNext, active && recNo < count);
    enable(nbLast, active && recNo < count);
    enable(nbInsert, canModify);
    enable(nbDelete, canModify && count > 0);
    enable(nbEdit, canModify && !editing && count > 0);
    enable(nbPost, canModify && editing);
    enable(nbCancel, canModify && editing);
    enable(nbRefresh, active);
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
        if (!m_confirmDelete ||
            Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("Datensatz löschen?"), Vcl::mbYesNo,
                     Vcl::mbNo, {}, window()) == Vcl::mrYes)
            c.Delete();
        break;
    case nbEdit: c.Edit(); break;
    case nbPost: c.Post(); break;
    case nbCancel: c.Cancel(); break;
    case nbRefresh: c.Refresh(); break;
    }
    updateButtons();
    if (OnClick)
        OnClick(button);
}
