#include "TMainForm.h"

#include "UDM1.h"
#include "UGrundModulForm.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QSignalBlocker>

#include <EventGuard.h>
#include <QPointer>
#include <QStatusBar>

namespace {
struct MenuRow {
    int id;
    QVariant parent;
    QString caption;
    QString formClass;
};
} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("KORVEX ERP"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setBackground(QColor(0x5a, 0x6e, 0x82));
    setCentralWidget(m_mdi);
    statusBar()->showMessage(QStringLiteral("Bereit"));
    Vcl::Screen::SetMainForm(this);
}

void TMainForm::LoadMainMenu() {
    menuBar()->clear();
    m_entries = 0;
    TVoskQuery2 q(&DM1()->Database(),
                  QStringLiteral("SELECT mm_id, mm_parent, mm_text, mm_caption, mm_formclassname "
                                 "FROM mainmenu ORDER BY mm_parent NULLS FIRST, mm_order, mm_id"));
    q.Open();
    addEntries(nullptr, menuBar(), q, QVariant(), 0);
    // The program's own item, first in the bar as users look for it there.
    auto* program = new QMenu(QStringLiteral("&Programm"), this);
    program->setObjectName(QStringLiteral("mmProgramm"));
    QAction* quit = program->addAction(QStringLiteral("&Beenden"));
    quit->setObjectName(QStringLiteral("actBeenden"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    quit->setToolTip(QStringLiteral("Alle Module schließen und das Programm beenden"));
    quit->setIcon(QIcon::fromTheme(QStringLiteral("application-exit")));
    // Through the window's close, so that every module asks about its pending edits first.
    connect(quit, &QAction::triggered, this, &QWidget::close);
    // Switches the session's administrator rights; every open module shows or hides its admin
    // buttons at once.
    QAction* admin = program->addAction(QStringLiteral("&Administratorrechte"));
    admin->setObjectName(QStringLiteral("actAdminRechte"));
    admin->setCheckable(true);
    admin->setChecked(DM1()->IsAdmin());
    admin->setToolTip(QStringLiteral("Administratorrechte dieser Sitzung ein- oder ausschalten"));
    connect(admin, &QAction::toggled, this, [](bool on) {
        Rtl::Guarded([on] { DM1()->SetIsAdmin(on); });
    });
    connect(DM1(), &TDM1::IsAdminChanged, admin, [admin](bool on) {
        const QSignalBlocker block(admin);
        admin->setChecked(on);
    });
    program->insertSeparator(admin);
    const QList<QAction*> top = menuBar()->actions();
    menuBar()->insertMenu(top.isEmpty() ? nullptr : top.first(), program);
}

bool TMainForm::CloseModules() {
    QList<QPointer<Vcl::TForm>> modules;
    for (Vcl::TForm* f : Vcl::Screen::Forms())
        if (qobject_cast<TFormKorvexGundForm*>(f) && !Vcl::IsDestroying(f) &&
            f->Frame()->isVisible())
            modules << f;
    for (const QPointer<Vcl::TForm>& f : modules)
        if (f && f->Frame()->isVisible() && !f->Close())
            return false;
    return true;
}

void TMainForm::closeEvent(QCloseEvent* e) {
    if (!CloseModules()) {
        e->ignore();
        return;
    }
    e->accept();
}

void TMainForm::addEntries(QMenu* menu, QWidget* bar, const TVoskQuery2& rows,
                           const QVariant& parent, int depth) {
    if (depth > 8) // a cycle in mm_parent must not hang the start
        return;
    for (int r = 0; r < rows.RecordCount(); ++r) {
        const QVariant p = rows.ValueAt(r, 1);
        if (p.isNull() != parent.isNull() || (!p.isNull() && p.toInt() != parent.toInt()))
            continue;
        const int id = rows.ValueAt(r, 0).toInt();
        QString caption = rows.ValueAt(r, 3).toString();
        if (!rows.IsNullAt(r, 2))
            caption = makeText(rows.ValueAt(r, 2).toInt(), caption);
        const QString formClass = rows.ValueAt(r, 4).toString();

        bool hasChildren = false;
        for (int c = 0; c < rows.RecordCount() && !hasChildren; ++c)
            hasChildren = !rows.IsNullAt(c, 1) && rows.ValueAt(c, 1).toInt() == id;

        if (hasChildren || formClass.isEmpty()) {
            QMenu* sub = menu ? menu->addMenu(caption) : static_cast<QMenuBar*>(bar)->addMenu(caption);
            sub->setObjectName(QStringLiteral("mm_%1").arg(id));
            addEntries(sub, nullptr, rows, id, depth + 1);
            continue;
        }
        QAction* a = menu ? menu->addAction(caption) : static_cast<QMenuBar*>(bar)->addAction(caption);
        a->setObjectName(QStringLiteral("mm_%1").arg(id));
        a->setData(formClass);
        ++m_entries;
        connect(a, &QAction::triggered, this, [this, formClass, id] {
            DM1()->LogEvent(QStringLiteral("TMainForm.MenuClick: %1 (mm_id=%2)").arg(formClass).arg(id));
            if (OnMenuEntry)
                OnMenuEntry(formClass, id);
        });
    }
}

QWidget* TMainForm::KeyTarget() const {
    if (QMdiSubWindow* sub = m_mdi ? m_mdi->activeSubWindow() : nullptr)
        if (QWidget* module = sub->widget(); module && module->focusWidget())
            return module->focusWidget();
    return QApplication::focusWidget();
}
