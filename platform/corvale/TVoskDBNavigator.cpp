#include "TVoskDBNavigator.h"

#include "DMSys.h"

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
    const char* icon; // freedesktop name
};

// In the order the bar shows them, which is also the order of the bits.
const ButtonInfo kButtons[] = {
    {nbFirst, "nbFirst", "|◀", "Erster Datensatz", "go-first"},
    {nbPrior, "nbPrior", "◀", "Vorheriger Datensatz", "go-previous"},
    {nbNext, "nbNext", "▶", "Nächster Datensatz", "go-next"},
    {nbLast, "nbLast", "▶|", "Letzter Datensatz", "go-last"},
    {nbInsert, "nbInsert", "+", "Datensatz einfügen", "list-add"},
    {nbDelete, "nbDelete", "−", "Datensatz löschen", "list-remove"},
    {nbEdit, "nbEdit", "✎", "Datensatz bearbeiten", "document-edit"},
    {nbPost, "nbPost", "✔", "Änderungen speichern", "document-save"},
    {nbCancel, "nbCancel", "✖", "Änderungen verwerfen", "dialog-cancel"},
    {nbRefresh, "nbRefresh", "↻", "Daten aktualisieren", "view-refresh"},
};

int indexOf(NavBtn button) { return std::countr_zero(unsigned(button)); }

} // namespace

TVoskDBNavigator::TVoskDBNavigator(QWidget* parent) : QToolBar(parent) {
    setIconSize(QSize(16, 16));
    static_assert(std::size(kButtons) == kButtonCount);
    DMSys(); // the icon theme is chosen there
    for (const ButtonInfo& info : kButtons) {
        QAction* a = addAction(QString::fromUtf8(info.symbol));
        a->setObjectName(QLatin1String(info.name));
        a->setToolTip(QString::fromUtf8(info.hint));
        // Icon from the theme, its symbol only where the theme has none.
        if (QIcon::hasThemeIcon(QLatin1String(info.icon)))
            a->setIcon(QIcon::fromTheme(QLatin1String(info.icon)));
        if (QWidget* w = widgetForAction(a)) {
            w->setAccessibleName(QString::fromUtf8(info.hint));
            w->setObjectName(QLatin1String(info.name));
        }
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
                           &TVoskDBNavigator::updateButtons)
                << connect(dataClass, &TVoskClass::ShownRowsChanged, this,
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
    // A class standing on no record (its rows all filtered out) offers nothing to move through.
    const int count = active && !c->IsEmpty() ? c->RecordCount() : 0;
    const auto enable = [this](NavBtn b, bool on) { ButtonControl(b)->setEnabled(on); };
    // Under a view's filter only a shown row counts as one to move to.
    const bool filtered = count > 0 && c->HidesRows();
    const bool back = filtered ? skipTarget(nbPrior, c->CurrentRow()) >= 0 : recNo > 1;
    const bool ahead = filtered ? skipTarget(nbNext, c->CurrentRow()) >= 0 : recNo < count;
    enable(nbFirst, active && back);
    enable(nbPrior, active && back);
    enable(nbNext, active && ahead);
    enable(nbLast, active && ahead);
    enable(nbInsert, canModify);
    enable(nbDelete, canModify && count > 0);
    enable(nbEdit, canModify && !editing && count > 0);
    enable(nbPost, canModify && editing);
    enable(nbCancel, canModify && editing);
    enable(nbRefresh, active);
}

int TVoskDBNavigator::skipTarget(NavBtn button, int current) const {
    const TVoskClass& c = *m_class;
    const int count = c.RecordCount();
    const auto scan = [&](int from, int step) {
        for (int r = from; r >= 0 && r < count; r += step)
            if (c.RowShown(r))
                return r;
        return -1;
    };
    switch (button) {
    case nbFirst: return scan(0, 1);
    case nbLast: return scan(count - 1, -1);
    case nbNext: return scan(current + 1, 1);
    case nbPrior: return current < 0 ? -1 : scan(current - 1, -1);
    default: return -1;
    }
}

void TVoskDBNavigator::BtnClick(NavBtn button) {
    if (!m_class)
        return;
    if (BeforeAction)
        BeforeAction(button);
    TVoskClass& c = *m_class;
    const NavBtnSet skips = nbFirst | nbPrior | nbNext | nbLast;
    if (skips.testFlag(button) && c.Active() && c.HidesRows()) {
        // The edit is settled first: a post may hide its record, and the view moves off it to
        // the next shown row. The step still counts from the record the user stood on, so that
        // this row is not passed over. A new record has no place among the rows until posted.
        const int from = c.IsNewRecord() ? -1 : c.CurrentRow();
        c.CheckBrowseMode();
        // No shown row that way: the record stays.
        if (const int row = skipTarget(button, from >= 0 ? from : c.CurrentRow());
            row >= 0 && row != c.CurrentRow())
            c.SetRecNo(row + 1);
    } else {
        switch (button) {
        case nbFirst: c.First(); break;
        case nbPrior: c.Prior(); break;
        case nbNext: c.Next(); break;
        case nbLast: c.Last(); break;
        case nbInsert: c.Insert(); break;
        case nbDelete:
            if (!m_confirmDelete ||
                Vcl::Ask(Vcl::mtConfirmation, {}, QStringLiteral("Datensatz löschen?"),
                         Vcl::mbYesNo, Vcl::mbNo, {}, window()) == Vcl::mrYes)
                c.Delete();
            break;
        case nbEdit: c.Edit(); break;
        case nbPost: c.Post(); break;
        case nbCancel: c.Cancel(); break;
        case nbRefresh: c.Refresh(); break;
        }
    }
    updateButtons();
    if (OnClick)
        OnClick(button);
}
