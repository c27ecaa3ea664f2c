#pragma once
// "Plantafel": the demo host's planning-board module, built in code as the ERP's own is. A
// container data source over the demo time line with a span, group "Plan" with one sub-view data
// source per machine, and one banded grid view per machine side by side, scrolling in step. The
// mode switch shows the first week by days or every week by weeks; the filter narrows the rows on
// the client. The header's context menu groups the machines' rows by a column, saves, loads,
// deletes and resets the stored layout; the status bar shows which layout is loaded and its
// state. Start parameter "Gruppieren=<column name>" opens the board grouped by that column.

#include "UModulForm.h"
#include "UPlantafel.GridViewCustomDS.h"

#include <memory>
#include <vector>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QMenu;
class QPushButton;
class TPlantafelContainerDataSource;
class TPlantafelSubViewGroup;

class TFormPlantafel final : public TModulForm {
    Q_OBJECT
public:
    explicit TFormPlantafel(QObject* owner = nullptr, QWidget* parent = nullptr);
    ~TFormPlantafel() override;

    // The machines of the demo time line.
    static QList<int> DemoResources() { return {100, 101, 102}; }

    QDateEdit* EdVon;
    QDateEdit* EdBis;
    QComboBox* CbModus;
    QLineEdit* EdFilter;
    QPushButton* BtFilter;
    QWidget* PanelViews;

    TPlantafelContainerDataSource& Container() const { return *m_container; }
    TPlantafelSubViewGroup* GroupPlan() const { return m_group; }
    const std::vector<TVoskGridViewCustomDS*>& Views() const { return m_views; }

    // Opens the board on the span of the date fields.
    void Aktualisieren();
    // Applies the typed filter; one that does not parse is refused with the parser's message and
    // the board stays as it was.
    void FilterAnwenden();
    void ModusWechseln(int index);

    // The header menu's actions, on the view the menu was opened on.
    void LayoutSpeichern(TVoskGridViewCustomDS* view, bool global);
    void LayoutLaden();
    void LayoutLoeschen(TVoskGridViewCustomDS* view, bool global);
    void LayoutZuruecksetzen();
    // Groups every machine's view by the column of that name (none: ungroups them).
    void Gruppieren(const QString& columnName);
    QMenu* CreateHeaderMenu(TVoskGridViewCustomDS* view, Grid::GridBandedColumn* column = nullptr);
    // "Layout: Global (geändert)" and the like, for the status bar.
    QString LayoutStatusText(TVoskGridViewCustomDS* view);
    void UpdateLayoutStatus();

protected:
    void FormShow(QObject* sender) override;

private:
    TVoskGridViewCustomDS* CreateView(int resourceId);

    std::unique_ptr<TPlantafelContainerDataSource> m_container;
    TPlantafelSubViewGroup* m_group = nullptr;
    std::vector<TVoskGridViewCustomDS*> m_views;
    int m_statusPanel = -1;
    bool m_scrolling = false;
};
