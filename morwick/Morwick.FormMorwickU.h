#pragma once
// The environment viewer: the IDE's environment-variable overrides, the process environment, the
// IDE's and the active project's string options and the clipboard, each row checkable; a checked
// or selected row shows its value split at ";" on the right. Names are matched exactly, as the
// environment on this system is case-sensitive.

#include "Vcl.Forms.h"

#include <QList>
#include <QPointer>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

class TFormMorwick final : public Vcl::TForm {
    Q_OBJECT
public:
    explicit TFormMorwick(QObject* owner = nullptr);
    ~TFormMorwick() override;

    // Group ids of LV_Items.
    enum Group { grEnvVar = 0, grOverrides = 1, grProject = 2, grEnvOpt = 3, grPrjOpt = 4,
                 grClipboard = 5 };
    static QString GroupTag(int group);
    static inline const QString NotUsed = QStringLiteral("!!! not used !!!");

    void ReloadInfo();

    // Expanded view of a row.
    void AddExpanded(QTreeWidgetItem* row);
    void RemoveExpanded(QTreeWidgetItem* row);
    bool IsExpanded(QTreeWidgetItem* row) const; // its group shows rows

    // Rows of LV_Items; a row's group id is in its parent's data.
    QTreeWidgetItem* AddRow(int group, const QString& name, const QString& value,
                            const QString& info = {});
    QTreeWidgetItem* FindRow(const QString& name) const;
    QList<QTreeWidgetItem*> Rows(int group) const;
    int RowGroup(const QTreeWidgetItem* row) const;
    // The group of LV_Expanded with that header and subtitle; null when there is none.
    QTreeWidgetItem* ExpandedGroup(const QString& header, const QString& subtitle) const;

    QGroupBox* GroupBox1;
    QTreeWidget* LV_Items;
    QSplitter* Splitter1;
    QTreeWidget* LV_Expanded;
    QPlainTextEdit* Memo1;
    QPushButton* btReload;

private:
    void ClipboardChanged();
    void ItemsSelectionChanged();
    void ItemChanged(QTreeWidgetItem* item, int column);
    QTreeWidgetItem* groupItem(int group) const;

    QList<QTreeWidgetItem*> m_groups;
    QList<QTreeWidgetItem*> m_selected;
    bool m_reloading = false;
};

// The one viewer while it is open.
extern QPointer<TFormMorwick> FormMorwick;
