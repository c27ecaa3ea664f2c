#include "TServSQL2.h"

#include "UDM1.h"
#include "VoskDatabase.h"

TServSQL2::TServSQL2(QObject* parent) : TVoskClass2(parent) {
    // Any change of the row set or of a row may move a key: the index is rebuilt on next use.
    connect(this, &TVoskClass::RowsReset, this, [this] { dropIndex(); });
    connect(this, &TVoskClass::RowInserted, this, [this] { dropIndex(); });
    connect(this, &TVoskClass::RowRemoved, this, [this] { dropIndex(); });
    connect(this, &TVoskClass::RowUpdated, this, [this] { dropIndex(); });
    connect(this, &TVoskClass::FieldChanged, this, [this](int, int col) {
        if (col == m_indexCol)
            dropIndex();
    });
}

void TServSQL2::SetSqlName(const QString& key) { m_sqlName = key.trimmed(); }

QString TServSQL2::SelectSql() const {
    if (m_sqlName.isEmpty())
        return TVoskClass2::SelectSql();
    return Database().StandardSQL_Get(m_sqlName);
}

bool TServSQL2::LocateInt(qint64 value, const QString& field) {
    if (!Active())
        return false;
    const QString name = field.isEmpty() ? KeyFieldName().section(u';', 0, 0).trimmed() : field;
    const int col = FieldIndex(name);
    if (col < 0)
        return false;
    if (InEdit()) {
        // A pending record is posted or dropped first, as any move does; that may change rows.
        if (IsNewRecord() && !Modified())
            Cancel();
        else
            Post();
    }
    if (col != m_indexCol || m_index.isEmpty()) {
        m_index.clear();
        m_index.reserve(RecordCount());
        for (int r = RecordCount() - 1; r >= 0; --r) {
            const QVariant v = Value(r, col);
            bool ok = false;
            const qint64 n = v.toLongLong(&ok);
            if (!v.isNull() && ok)
                m_index.insert(n, r); // the first row wins: rows are walked backwards
        }
        m_indexCol = col;
    }
    const auto it = m_index.constFind(value);
    if (it == m_index.cend())
        return false;
    SetRecNo(*it + 1);
    return true;
}

void TServSQL2::Post(bool askBefore) {
    if (!InEdit())
        return;
    if (askBefore && BeforePost)
        BeforePost(this);
    if (!BeforePostLocked) {
        TVoskClass2::Post(false);
        return;
    }
    TVoskDatabase& db = Database();
    const bool own = !db.InTransaction();
    // AfterPost belongs after the commit: a failing after-step must not take the row back.
    struct Restore {
        std::function<void(TVoskClass*)>& slot;
        std::function<void(TVoskClass*)> saved;
        ~Restore() { slot = std::move(saved); }
    };
    {
        Restore restore{AfterPost, std::move(AfterPost)};
        AfterPost = nullptr;
        if (own)
            db.StartTransaction();
        try {
            BeforePostLocked(this);
            TVoskClass2::Post(false);
            if (own)
                db.Commit();
        } catch (...) {
            if (own && db.InTransaction()) {
                try {
                    db.Rollback();
                } catch (...) {
                    // A broken connection has dropped the transaction itself.
                }
            }
            throw;
        }
    }
    if (AfterPost)
        AfterPost(this);
}

bool TServSQL2::CheckDevelopLogin() {
    TDM1* dm = DM1();
    if (!dm || !dm->Connected())
        return false;
    if (dm->IsAdmin())
        return true;
    try {
        return dm->GetBoolSetting(QStringLiteral("System.DevelopDatabase"), false);
    } catch (...) {
        return false;
    }
}
