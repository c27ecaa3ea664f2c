#pragma once
// The export options of a PDF or PostScript export: paper (size and orientation), compression,
// black and white, the current page alone, and for PDF a reduced resolution of large pages. The
// caller presets the choices, shows the form modally and reads them after OK.

#include <Vcl.Forms.h>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QRadioButton;

class TImagesExportForm final : public Vcl::TForm {
    Q_OBJECT
public:
    enum TExportType { etPDF, etPS };
    explicit TImagesExportForm(TExportType type, QWidget* parent = nullptr);

    TExportType ExportType() const { return m_type; }

    // Paper in points, turned for landscape.
    double PaperWidth() const;
    double PaperHeight() const;
    // The compression in the numbering of the file type (4 JPEG for PDF, 3 JPEG for PostScript).
    int PdfCompression() const;
    int PsCompression() const;
    void SetPdfCompression(int compression);
    void SetPsCompression(int compression);
    bool BlackWhite() const;
    bool CurrentPage() const;
    bool Landscape() const;
    bool ReduceResolution() const;

    // The handlers the caller runs after presetting the controls.
    void cbCompressionChange();
    void rbCurrentPageClick();
    void cbLandscapeClick();

    QComboBox* cbPaper;
    QCheckBox* cbLandscape;
    QComboBox* cbCompression;
    QCheckBox* cbBlackWhite;
    QRadioButton* rbAllPages;
    QRadioButton* rbCurrentPage;
    QCheckBox* cbReduceResolution;
    QLabel* lbPaperSize;
    QDialogButtonBox* btButtons;

private:
    void setCompression(int compression);
    TExportType m_type;
};
