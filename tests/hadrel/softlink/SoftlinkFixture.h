#pragma once
// The address module with soft links of the test's own: each test adds the rows it needs, and the
// rows, the cached table and any record edit are gone again when it ends.

#include "ModulFormFixture.h"

#include "TVoskPopupMenu.h"
#include "USoftlink.h"
#include "VoskDM_Dunmere.h"

#include <QMenu>
#include <QScopeGuard>

class SoftlinkFixture : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        TVoskDM_Dunmere::Instance()->ClearCache();
        TLogSink::Clear();
    }
    void TearDown() override {
        ModulFormFixture::TearDown();
        testsupport::TestDatabase::Exec(QStringLiteral("DELETE FROM softlink"));
        TVoskDM_Dunmere::Instance()->ClearCache();
    }

    // Adds a soft link of table adressen (or table); empty texts are stored as NULL.
    static int AddLink(const QString& type, const QVariant& order, const QString& bez,
                       const QString& app, const QString& link, const QString& cond,
                       const QString& table = QStringLiteral("adressen")) {
        auto lit = [](const QString& s) {
            return s.isNull() ? QStringLiteral("NULL")
                              : QLatin1Char('\'') +
                                    QString(s).replace(QLatin1Char('\''), QStringLiteral("''")) +
                                    QLatin1Char('\'');
        };
        // The module form's status bar may have read the links already; they are read anew.
        const auto reread = qScopeGuard([] { TVoskDM_Dunmere::Instance()->ClearCache(); });
        return testsupport::TestDatabase::Scalar(
                   QStringLiteral("INSERT INTO softlink (slink_table, slink_type, slink_order, "
                                  "slink_bez, slink_app, slink_sql, slink_cond) VALUES "
                                  "(%1, %2, %3, %4, %5, %6, %7) RETURNING slink_id")
                       .arg(lit(table), lit(type),
                            order.isNull() ? QStringLiteral("NULL") : order.toString(), lit(bez),
                            lit(app), lit(link), lit(cond)))
            .toInt();
    }

    // Opens the soft-link menu as the user's click does, without waiting for a mouse.
    static QList<QAction*> Popup(TModulForm* f) {
        emit f->pmuSoftlink->aboutToShow();
        return f->pmuSoftlink->actions();
    }
    static QAction* Find(QMenu* menu, const QString& name) {
        for (QAction* a : menu->actions()) {
            if (a->objectName() == name)
                return a;
            if (a->menu())
                if (QAction* s = Find(a->menu(), name))
                    return s;
        }
        return nullptr;
    }
    // An alias of table adressen (field empty: the table's own) for the lifetime of the object;
    // the row as it was comes back afterwards.
    class AliasOverride final {
    public:
        AliasOverride(const QString& field, const QString& alias) : m_field(field) {
            m_old = testsupport::TestDatabase::Scalar(
                QStringLiteral("SELECT coalesce((SELECT alias FROM tablefieldinfo WHERE "
                               "tablename = 'adressen' AND field = '%1'), '<none>')")
                    .arg(field));
            testsupport::TestDatabase::Exec(
                QStringLiteral("INSERT INTO tablefieldinfo (tablename, field, alias) VALUES "
                               "('adressen', '%1', '%2') ON CONFLICT (tablename, field) DO "
                               "UPDATE SET alias = EXCLUDED.alias")
                    .arg(field, alias));
            s_dm->ReloadFieldAlias();
        }
        ~AliasOverride() {
            testsupport::TestDatabase::Exec(
                m_old == QStringLiteral("<none>")
                    ? QStringLiteral("DELETE FROM tablefieldinfo WHERE tablename = 'adressen' "
                                     "AND field = '%1'")
                          .arg(m_field)
                    : QStringLiteral("UPDATE tablefieldinfo SET alias = '%2' WHERE "
                                     "tablename = 'adressen' AND field = '%1'")
                          .arg(m_field, m_old));
            s_dm->ReloadFieldAlias();
        }

    private:
        QString m_field;
        QString m_old;
    };

    static void SetField(TFormAdress* f, const QString& field, const QVariant& value) {
        f->DataAdressen->FieldByName(field).SetValue(value);
    }
};
