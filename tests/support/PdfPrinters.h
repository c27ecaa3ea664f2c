#pragma once
// A printer service for tests: two installed printers ("Büro", the default, and "Lager"), each job
// printed into a PDF file of its own in a temporary folder and recorded with its printer.

#include <VoskPrinters.h>

#include <QPrinter>
#include <QTemporaryDir>

#include <vector>

namespace testsupport {

class PdfPrinters final : public Corvale::Printers {
public:
    PdfPrinters() { m_old = SetInstance(this); }
    ~PdfPrinters() override { SetInstance(m_old); }
    PdfPrinters(const PdfPrinters&) = delete;
    PdfPrinters& operator=(const PdfPrinters&) = delete;

    struct Job {
        QString printer;
        QString file; // the PDF the job printed into
    };
    std::vector<Job> jobs;
    QStringList names{QStringLiteral("Büro"), QStringLiteral("Lager")};
    QString defaultName = QStringLiteral("Büro");

    bool PrintDocument(const QTextDocument*, const QString&, QWidget*) override { return false; }
    QStringList PrinterNames() override { return names; }
    QString DefaultPrinter() override { return defaultName; }
    std::unique_ptr<QPrinter> CreatePrinter(const QString& printerName) override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::A4));
        const QString file = m_dir.filePath(QStringLiteral("job%1.pdf").arg(jobs.size() + 1));
        printer->setOutputFileName(file);
        jobs.push_back({printerName, file});
        return printer;
    }

private:
    QTemporaryDir m_dir;
    Corvale::Printers* m_old;
};

} // namespace testsupport
