#include "TFormDialogDemo.h"

#include "RtfCodec.h"
#include "TVoskRibbon.h"
#include "TopLabel.h"
#include "UDM1.h"
#include "UVoskCalc.h"
#include "RtlDialog.h"
#include "Vcl.Components.h"
#include "EventGuard.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TFormDialogDemo::TFormDialogDemo(QObject* owner, QWidget* parent)
    : TModulForm(owner, parent) {
    setWindowTitle(QStringLiteral("Dialoge"));
    TopLabel->Toplabel->setText(QStringLiteral("Dialoge"));
    resize(640, 420);
    auto* box = ModulLayout();
    auto* form = new QFormLayout;
    CbText = Vcl::Owned(this, new QComboBox(this), QStringLiteral("CbText"));
    CbText->setToolTip(QStringLiteral("Welcher Text bearbeitet wird"));
    form->addRow(QStringLiteral("&Text:"), CbText);
    EdBetrag = Vcl::Owned(this, new QLineEdit(this), QStringLiteral("EdBetrag"));
    EdBetrag->setValidator(new QDoubleValidator(EdBetrag));
    EdBetrag->setToolTip(QStringLiteral("Eine Zahl; Strg+T öffnet den Taschenrechner"));
    form->addRow(QStringLiteral("&Betrag:"), EdBetrag);
    for (int i = 0; i < form->rowCount(); ++i)
        if (auto* l = qobject_cast<QLabel*>(form->itemAt(i, QFormLayout::LabelRole)->widget()))
            l->buddy()->setAccessibleName(l->text().remove(u'&').remove(u':'));
    box->addLayout(form);
    Preview = Vcl::Owned(this, new QTextBrowser(this), QStringLiteral("Preview"));
    Preview->setToolTip(QStringLiteral("Der gespeicherte Text"));
    Preview->setAccessibleName(QStringLiteral("Vorschau"));
    box->addWidget(Preview, 1);
    auto* row = new QHBoxLayout;
    BtTextBearbeiten = Vcl::Owned(this, new QPushButton(QStringLiteral("Text bearbeiten"), this),
                                  QStringLiteral("BtTextBearbeiten"));
    BtTextBearbeiten->setToolTip(QStringLiteral("Den Text als reinen Text bearbeiten"));
    BtRtfBearbeiten = Vcl::Owned(this, new QPushButton(QStringLiteral("RTF bearbeiten"), this),
                                 QStringLiteral("BtRtfBearbeiten"));
    BtRtfBearbeiten->setToolTip(QStringLiteral("Den Text formatiert bearbeiten"));
    for (QPushButton* b : {BtTextBearbeiten, BtRtfBearbeiten})
        b->setAccessibleName(b->text());
    row->addWidget(BtTextBearbeiten);
    row->addWidget(BtRtfBearbeiten);
    row->addStretch();
    box->addLayout(row);
    AddDialogButtons(box);
    connect(BtTextBearbeiten, &QPushButton::clicked, this, [this] { Rtl::Guarded([this] { Bearbeiten(false); }); });
    connect(BtRtfBearbeiten, &QPushButton::clicked, this, [this] { Rtl::Guarded([this] { Bearbeiten(true); }); });
    connect(CbText, &QComboBox::currentIndexChanged, this, [this] { ShowRow(); });
    EdBetrag->installEventFilter(this);
    LoadRows();
}

void TFormDialogDemo::LoadRows() {
    const int current = CbText->currentData().toInt();
    CbText->clear();
    TVoskQuery2 q(&DM1()->Database(), QStringLiteral("SELECT id, txt FROM demo_texte ORDER BY id"));
    q.Open();
    for (; !q.Eof(); q.Next())
        CbText->addItem(QStringLiteral("%1: %2").arg(q.Fields(0).AsInteger()).arg(
                            q.Fields(1).AsString().section(u'\n', 0, 0)),
                        q.Fields(0).AsInteger());
    const int i = CbText->findData(current);
    CbText->setCurrentIndex(i >= 0 ? i : CbText->count() - 1);
    ShowRow();
}

void TFormDialogDemo::ShowRow() {
    TVoskQuery2 q(&DM1()->Database(),
                  QStringLiteral("SELECT txt, txt_rtf FROM demo_texte WHERE id = :id"));
    q.Bind(QStringLiteral("id"), CbText->currentData().toInt());
    q.Open();
    if (q.Eof()) {
        Preview->clear();
        return;
    }
    const QByteArray rtf = q.Fields(1).AsString().toUtf8();
    if (Rtf::IsRtf(rtf))
        Rtf::Read(rtf, Preview->document());
    else
        Preview->setPlainText(q.Fields(0).AsString());
}

void TFormDialogDemo::Bearbeiten(bool rtf) {
    const int id = CbText->currentData().toInt();
    TVoskQuery2 q(&DM1()->Database(),
                  QStringLiteral("SELECT txt, txt_rtf FROM demo_texte WHERE id = :id"));
    q.Bind(QStringLiteral("id"), id);
    q.Open();
    if (q.Eof())
        return;
    QString txt = q.Fields(0).AsString();
    QString txtRtf = q.Fields(1).AsString();
    const QString caption = rtf ? QStringLiteral("Text (RTF)") : QStringLiteral("Text");
    if (!RtlDialog::FEditTextB(caption, txt, txtRtf, false, rtf, QChar(0), 0,
                                                  false))
        return;
    TVoskQuery2 u(&DM1()->Database(),
                  rtf ? QStringLiteral("UPDATE demo_texte SET txt = :txt, txt_rtf = :rtf WHERE id = :id")
                      : QStringLiteral("UPDATE demo_texte SET txt = :txt WHERE id = :id"));
    u.Bind(QStringLiteral("txt"), txt);
    if (rtf)
        u.Bind(QStringLiteral("rtf"), txtRtf);
    u.Bind(QStringLiteral("id"), id);
    u.ExecSQL();
    LoadRows();
}

void TFormDialogDemo::FormShow(QObject* sender) {
    TModulForm::FormShow(sender);
    if (m_started)
        return;
    m_started = true;
    OpenStartDialog();
    if (GetParameterBool(QStringLiteral("EditRTF"))) {
        const bool keyboard = GetParameterBool(QStringLiteral("Tastatur"));
        const bool format = GetParameterBool(QStringLiteral("Format"));
        CbText->setCurrentIndex(CbText->findData(2));
        QTimer::singleShot(0, this, [this, keyboard, format] {
            if (format)
                // Once the editor is up, its ribbon shows the formatting tools.
                QTimer::singleShot(100, this, [] {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w->isVisible() && Vcl::ClassName(w) == u"TMemoFormEx")
                            if (auto* r = w->findChild<TVoskRibbon*>(QStringLiteral("Ribbon")))
                                r->SetActiveTab(r->Tab(QStringLiteral("RibbonTabFormat")));
                });
            if (keyboard)
                // Once the editor is up, its keyboard button shows the keyboard as a click would.
                QTimer::singleShot(100, this, [] {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w->isVisible() && Vcl::ClassName(w) == u"TMemoFormEx")
                            if (auto* b = w->findChild<QToolButton*>(
                                    QStringLiteral("BarButtonKeyboard")))
                                b->click();
                });
            Rtl::Guarded([this] { Bearbeiten(true); });
        });
    }
}

bool TFormDialogDemo::eventFilter(QObject* watched, QEvent* e) {
    if (watched == EdBetrag && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_T && k->modifiers() == Qt::ControlModifier) {
            if (TVoskCalc::IsVisible())
                TVoskCalc::Close(true, EdBetrag);
            else
                TVoskCalc::Open(EdBetrag);
            return true;
        }
    }
    return TModulForm::eventFilter(watched, e);
}
