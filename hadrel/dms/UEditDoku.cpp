#include "UEditDoku.h"

#include "TopLabel.h"
#include "UDokumentEigenschaften.h"
#include "UnitTable.h"

#include <EventGuard.h>
#include <TQ32Control.h>
#include <TVoskDBEdit.h>
#include <Ukorvexclasses.Dokument.h>
#include <Vcl.Components.h>

#include <QBoxLayout>
#include <QScreen>

#include <algorithm>

namespace UImpDoku {

QPoint BesideOrCascaded(const QSize& size, const QRect& owner, const QRect& screen) {
    const auto clampTo = [](int v, int low, int high) { return std::max(low, std::min(v, high)); };
    const int maxLeft = screen.right() - size.width() + 1;
    const int maxTop = screen.bottom() - size.height() + 1;
    const int top = clampTo(owner.top(), screen.top(), maxTop);
    if (owner.right() + size.width() <= screen.right())
        return {owner.right() + 1, top};
    if (owner.left() - size.width() >= screen.left())
        return {owner.left() - size.width(), top};
    // A title and a menu bar high.
    const QPoint cascaded = owner.topLeft() + QPoint(40, 60);
    return {clampTo(cascaded.x(), screen.left(), maxLeft),
            clampTo(cascaded.y(), screen.top(), maxTop)};
}

} // namespace UImpDoku

TFormDoku::TFormDoku(QObject* owner, QWidget* parent) : TModulForm(owner, parent) {
    setObjectName(QStringLiteral("FormDoku"));
    setWindowTitle(QStringLiteral("Dokument-Eigenschaften bearbeiten"));
    SetFormStyle(Vcl::fsNormal);
    // Placed by FormShow: centred over the document window it would hide it.
    SetPosition(Vcl::poDesigned);
    resize(1062, 831);
    setMinimumHeight(715);

    Dokument2 = Vcl::Owned(this, new TDokument(this), QStringLiteral("Dokument2"));
    Q32Control1 = Vcl::Owned(this, new TQ32Control(this), QStringLiteral("Q32Control1"));
    FrameDokumentEigenschaften1 =
        Vcl::Owned(this, new TFrameDokumentEigenschaften(this, this),
                   QStringLiteral("FrameDokumentEigenschaften1"));
    ModulLayout()->addWidget(FrameDokumentEigenschaften1, 1);
    FrameDokumentEigenschaften1->SetDokument(Dokument2);
    FrameDokumentEigenschaften1->SetQ32Control(Q32Control1);

    TopLabel->FSetTextNr(17245);
    TopLabel->SetBtPost(false);
    TopLabel->SetBtDelete(false);
    TopLabel->FSetDataSource(Dokument2);
    TopLabel->FSetDokumentClass(Dokument2);

    connect(Dokument2, &TVoskClass::CurrentChanged, this,
            [this] { Rtl::Guarded([this] { Dokument2AfterScroll(); }, this); });
    connect(Dokument2, &TVoskClass::RowsReset, this,
            [this] { Rtl::Guarded([this] { Dokument2AfterScroll(); }, this); });
    Dokument2->AfterPost = [this](TVoskClass*) { Dokument2AfterPost(); };
}

void TFormDoku::FormCreate(QObject* sender) {
    TModulForm::FormCreate(sender);
    TopLabel->SetBtStatusBar(msbEditors | msbAuditLog | msbWVOD | msbHistorie | msbSoftlink |
                             msbVisible);
    StatusBar1ContainerBtDoku->hide();
}

void TFormDoku::FormShow(QObject* sender) {
    TModulForm::FormShow(sender);
    if (pos() != QPoint(0, 0) || !screen())
        return;
    auto* owner = qobject_cast<QWidget*>(Vcl::Owner(this));
    if (owner && owner->isVisible())
        move(UImpDoku::BesideOrCascaded(frameGeometry().size(), owner->window()->frameGeometry(),
                                        screen()->availableGeometry()));
}

void TFormDoku::Dokument2AfterScroll() {
    FrameDokumentEigenschaften1->_DokumentAfterScroll(false);
    FrameDokumentEigenschaften1->pd_tablename->setEnabled(false);
}

void TFormDoku::Dokument2AfterPost() { FrameDokumentEigenschaften1->_DokumentAfterPost(); }

void TFormDoku::FormKeyUp(QObject* sender, int& Key, Qt::KeyboardModifiers Shift) {
    TModulForm::FormKeyUp(sender, Key, Shift);
    if ((Key == Qt::Key_Escape && Shift == Qt::NoModifier) ||
        (Key == Qt::Key_Q && Shift == Qt::ControlModifier)) {
        Key = 0;
        Close();
    }
}

KORVEX_UNIT("hadrel", "UEditDoku", nullptr, nullptr);
