#pragma once
// The serial numbers of one stock document (a row of ldsdok) in a banded grid, and the preset
// panel where the user gives the numbers the document is to bring in: typed into the memo, loaded
// from a file, taken from the related order or made by the server's generator. "Hinzufügen" links
// the memo's numbers as presets; "Übernehmen" replaces the unused presets by them in one
// transaction. The grid menu takes a serial number off its receipt, stock record or issue, or
// removes it as this document's preset.

#include <TServSQL2.h>

#include <QFrame>
#include <QPointer>
#include <QStringList>
#include <QVariant>

class QGroupBox;
class QPushButton;
class QSplitter;
class TFrameDBNav;
class TVoskBandedHeader;
class TVoskDBEdit;
class TVoskDBGrid2;
class TVoskMemo;
class TVoskMenuItem;
class TVoskPopupMenu;

class TFrameProduktSerNr final : public QFrame {
    Q_OBJECT
public:
    explicit TFrameProduktSerNr(QObject* owner, QWidget* parent = nullptr);
    ~TFrameProduktSerNr() override;

    // Components, in the order of the frame's resource.
    QGroupBox* gbSerNr;
    QWidget* pnlGridSerNr;
    TFrameDBNav* FrameDBNavSerNr;
    TVoskDBEdit* VoskDBEdit1;
    TVoskDBGrid2* GridProduktSerNrCX;
    TVoskBandedHeader* GridProduktSerNr;
    QSplitter* splSerNr;
    QWidget* pnlManuellSN;
    TVoskMemo* mVorgabeSN;
    QPushButton* btnSNUndertake;
    QPushButton* btnSNAdd;
    TVoskPopupMenu* pmVorgabeSN;
    TVoskMenuItem* miLoad;
    TVoskMenuItem* miSNAusAuftg;
    TVoskMenuItem* miSNAusLZ;
    TVoskMenuItem* miAutoGenerierung;
    TVoskPopupMenu* pmGridSerNr;
    TVoskMenuItem* miDelWendat;
    TVoskMenuItem* miDelLag;
    TVoskMenuItem* miDelLifsch;
    TVoskMenuItem* miDelMapsernr;
    TServSQL2* ServSQL2ProduktSN;

    // Shows the serial numbers of stock document aldid; 0 or less shows none and hides the panel.
    void VorgabeSeriennummern_Activate(int aldid);
    int LdId() const { return m_ldId; }
    bool LdDone() const { return ld_done; }
    void RefreshAfterPost();
    // The preset panel shows for an open document only; the navigator's insert button otherwise.
    void SetVisibilityVorgabePanel(bool aJn);
    bool HasFocus() const;
    // On a page of the system's page control, the page's tab is marked while the list has rows.
    void SetPageColor();
    // The serial-number requirement of the article of the current row's stock record.
    bool ak_sernrreq();
    void moEtikettdruckenClick();

    void btnSNAddClick();
    void btnSNUndertakeClick();
    void pmSNItemClick(QObject* sender);
    // Appends the lines of list that the memo does not hold yet, in one change of the memo.
    void mVorgabeSN_StringsMerge(const QStringList& list);
    // Opens the preset menu at the memo, as F2 in the memo does; false when it may not open.
    bool PopupVorgabeMenu();
    // Shows the items of the grid menu that apply to the selected rows.
    void pmGridSerNrPopup();
    void miDelBezugClick(QObject* sender);

    // The rows the grid menu works on: the selected ones, else the current one.
    QList<int> SelectedRows() const;
    // A serial-number file as text: UTF-8 when it is valid UTF-8, else Windows-1252.
    static QString DecodeSerialFile(const QByteArray& bytes);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void afterScroll();
    void afterPost();
    void memoChanged();
    void postPending();
    void loadSplitter();
    void guarded(const char* handler, const std::function<void()>& body);
    QVariant rowValue(int row, const QString& field) const;

    int m_ldId = 0;
    bool ld_done = true;
    bool Fak_sernrreq = false;
    bool Fak_sernrreq_calculated = false;
    QVariant m_sernrreqLgId;
    bool m_splitterLoaded = false;
};

namespace UFrameProduktSerNr {
// Puts `TFrameProduktSerNr` on the IDE's palette page "Korvex-Controls".
void Register();
} // namespace UFrameProduktSerNr
