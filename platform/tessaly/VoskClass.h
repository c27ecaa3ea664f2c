#pragma once
// TVoskClass is the data class of the class library: one dataset over one table, with its edit
// state. This is the part the forms rely on when they close: whether there is something to post,
// posting it, and the table it belongs to.

#include <QObject>
#include <QString>

class TVoskClass : public QObject {
    Q_OBJECT
public:
    // Give it to its form with Vcl::Owned; the parent only ties its lifetime.
    explicit TVoskClass(QObject* parent = nullptr);
    ~TVoskClass() override;

    // Whether the dataset holds changes that Post would write.
    virtual bool CanPost() const { return m_canPost; }
    // Writes the pending changes; failures raise.
    virtual void Post();
    virtual QString GetSqlTableName() const { return m_sqlTable; }

    void SetSqlTableName(const QString& table) { m_sqlTable = table; }

protected:
    void SetCanPost(bool canPost) { m_canPost = canPost; }

private:
    QString m_sqlTable;
    bool m_canPost = false;
};
