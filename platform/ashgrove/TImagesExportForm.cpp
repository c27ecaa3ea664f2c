#include "TImagesExportForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
struct Paper {
    const char* name;
    double width, height; // points, portrait
};
constexpr Paper kPapers[] = {
    {"A4 (210 × 297 mm)", 595, 842},   {"A3 (297 × 420 mm)", 842, 1191},
    {"A5 (148 × 210 mm)", 420, 595},   {"Letter (8,5 × 11 Zoll)", 612, 792},
    {"Legal (8,5 × 14 Zoll)", 612, 1008},
};
// Compressions in the numbering of each file type; the fax ones keep black and white only.
constexpr int kPdfLossless = 0, kPdfG4 = 2, kPdfJpeg = 4;
constexpr int kPsLossless = 0, kPsG4 = 1, kPsJpeg = 3;
} // namespace

TImagesExportForm::TImagesExportForm(TExportType type, QWidget* parent)
    : Vcl::TForm(nullptr, parent), m_type(type) {
    setObjectName(QStringLiteral("TImagesExportForm"));
    setWindowTitle(type == etPDF ? QStringLiteral("Als PDF exportieren")
                                 : QStringLiteral("Als PostScript exportieren"));
    SetBorderStyle(Vcl::bsDialog);
    SetPosition(Vcl::poOwnerFormCenter);

    auto* layout = new QVBoxLayout(this);
    auto* paperBox = new QGroupBox(QStringLiteral("Papier"), this);
    auto* paperForm = new QFormLayout(paperBox);
    cbPaper = new QComboBox(paperBox);
    cbPaper->setObjectName(QStringLiteral("cbPaper"));
    for (const Paper& p : kPapers)
        cbPaper->addItem(QString::fromUtf8(p.name));
    auto* lbPaper = new QLabel(QStringLiteral("&Format:"), paperBox);
    lbPaper->setBuddy(cbPaper);
    paperForm->addRow(lbPaper, cbPaper);
    cbLandscape = new QCheckBox(QStringLiteral("&Querformat"), paperBox);
    cbLandscape->setObjectName(QStringLiteral("cbLandscape"));
    cbLandscape->setToolTip(QStringLiteral("Das Papier quer legen"));
    paperForm->addRow(cbLandscape);
    lbPaperSize = new QLabel(paperBox);
    lbPaperSize->setObjectName(QStringLiteral("lbPaperSize"));
    paperForm->addRow(lbPaperSize);
    layout->addWidget(paperBox);

    auto* pictureBox = new QGroupBox(QStringLiteral("Bilder"), this);
    auto* pictureForm = new QFormLayout(pictureBox);
    cbCompression = new QComboBox(pictureBox);
    cbCompression->setObjectName(QStringLiteral("cbCompression"));
    cbCompression->addItem(QStringLiteral("Verlustfrei"), type == etPDF ? kPdfLossless : kPsLossless);
    cbCompression->addItem(QStringLiteral("Schwarz-weiß, verlustfrei"),
                           type == etPDF ? kPdfG4 : kPsG4);
    cbCompression->addItem(QStringLiteral("JPEG"), type == etPDF ? kPdfJpeg : kPsJpeg);
    auto* lbCompression = new QLabel(QStringLiteral("&Kompression:"), pictureBox);
    lbCompression->setBuddy(cbCompression);
    pictureForm->addRow(lbCompression, cbCompression);
    cbBlackWhite = new QCheckBox(QStringLiteral("&Schwarz-weiß"), pictureBox);
    cbBlackWhite->setObjectName(QStringLiteral("cbBlackWhite"));
    cbBlackWhite->setToolTip(QStringLiteral("Die Seiten gerastert in Schwarz-weiß ausgeben"));
    pictureForm->addRow(cbBlackWhite);
    cbReduceResolution = new QCheckBox(QStringLiteral("&Auflösung großer Seiten verringern"), pictureBox);
    cbReduceResolution->setObjectName(QStringLiteral("cbReduceResolution"));
    cbReduceResolution->setToolTip(
        QStringLiteral("Sehr große Seiten verkleinert ausgeben (kleinere Datei)"));
    cbReduceResolution->setVisible(type == etPDF);
    pictureForm->addRow(cbReduceResolution);
    layout->addWidget(pictureBox);

    auto* rangeBox = new QGroupBox(QStringLiteral("Seiten"), this);
    auto* rangeLayout = new QVBoxLayout(rangeBox);
    rbAllPages = new QRadioButton(QStringLiteral("A&lle Seiten"), rangeBox);
    rbAllPages->setObjectName(QStringLiteral("rbAllPages"));
    rbAllPages->setToolTip(QStringLiteral("Alle Seiten des Dokuments ausgeben"));
    rbAllPages->setChecked(true);
    rbCurrentPage = new QRadioButton(QStringLiteral("Nur die a&ktuelle Seite"), rangeBox);
    rbCurrentPage->setObjectName(QStringLiteral("rbCurrentPage"));
    rbCurrentPage->setToolTip(QStringLiteral("Nur die angezeigte Seite ausgeben"));
    rangeLayout->addWidget(rbAllPages);
    rangeLayout->addWidget(rbCurrentPage);
    layout->addWidget(rangeBox);

    btButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btButtons->setObjectName(QStringLiteral("btButtons"));
    btButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    btButtons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Mit diesen Einstellungen exportieren"));
    btButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    btButtons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Nichts exportieren"));
    layout->addWidget(btButtons);
    connect(btButtons, &QDialogButtonBox::accepted, this, [this] { SetModalResult(Vcl::mrOk); });
    connect(btButtons, &QDialogButtonBox::rejected, this, [this] { SetModalResult(Vcl::mrCancel); });

    connect(cbCompression, &QComboBox::activated, this, [this] { cbCompressionChange(); });
    connect(rbCurrentPage, &QRadioButton::clicked, this, [this] { rbCurrentPageClick(); });
    connect(rbAllPages, &QRadioButton::clicked, this, [this] { rbCurrentPageClick(); });
    connect(cbLandscape, &QCheckBox::clicked, this, [this] { cbLandscapeClick(); });
    connect(cbPaper, &QComboBox::activated, this, [this] { cbLandscapeClick(); });

    for (QWidget* w : {static_cast<QWidget*>(cbPaper), static_cast<QWidget*>(cbCompression)})
        w->setToolTip(w == cbPaper ? QStringLiteral("Papierformat der Seiten")
                                   : QStringLiteral("Wie die Bilder gespeichert werden"));
    cbPaper->setAccessibleName(QStringLiteral("Format"));
    cbCompression->setAccessibleName(QStringLiteral("Kompression"));
    setCompression(type == etPDF ? kPdfJpeg : kPsJpeg);
    cbLandscapeClick();
}

double TImagesExportForm::PaperWidth() const {
    const Paper& p = kPapers[std::max(0, cbPaper->currentIndex())];
    return Landscape() ? p.height : p.width;
}

double TImagesExportForm::PaperHeight() const {
    const Paper& p = kPapers[std::max(0, cbPaper->currentIndex())];
    return Landscape() ? p.width : p.height;
}

int TImagesExportForm::PdfCompression() const {
    return m_type == etPDF ? cbCompression->currentData().toInt() : kPdfJpeg;
}
int TImagesExportForm::PsCompression() const {
    return m_type == etPS ? cbCompression->currentData().toInt() : kPsJpeg;
}
void TImagesExportForm::SetPdfCompression(int compression) {
    if (m_type == etPDF)
        setCompression(compression);
}
void TImagesExportForm::SetPsCompression(int compression) {
    if (m_type == etPS)
        setCompression(compression);
}

void TImagesExportForm::setCompression(int compression) {
    const int index = cbCompression->findData(compression);
    // A compression the list does not offer is written lossless.
    cbCompression->setCurrentIndex(index >= 0 ? index : 0);
}

bool TImagesExportForm::BlackWhite() const { return cbBlackWhite->isChecked(); }
bool TImagesExportForm::CurrentPage() const { return rbCurrentPage->isChecked(); }
bool TImagesExportForm::Landscape() const { return cbLandscape->isChecked(); }
bool TImagesExportForm::ReduceResolution() const {
    return m_type == etPDF && cbReduceResolution->isEnabled() && cbReduceResolution->isChecked();
}

void TImagesExportForm::cbCompressionChange() {
    // Fax compressions hold black and white only.
    const int c = cbCompression->currentData().toInt();
    const bool fax = m_type == etPDF ? c == kPdfG4 : c == kPsG4;
    if (fax)
        cbBlackWhite->setChecked(true);
    cbBlackWhite->setEnabled(!fax);
}

void TImagesExportForm::rbCurrentPageClick() {
    rbAllPages->setChecked(!rbCurrentPage->isChecked());
}

void TImagesExportForm::cbLandscapeClick() {
    lbPaperSize->setText(QStringLiteral("%1 × %2 Punkt").arg(PaperWidth()).arg(PaperHeight()));
}
