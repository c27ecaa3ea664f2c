// Memo editor tools benchmark (fixed seed). Each operation runs beside its baseline on the same
// data:
//   - replace-all of a word with 10,000 hits in about 1 MB of text, through the form's replace
//     dialog, against a bare loop of QTextDocument::find and insertText in one edit block on the
//     same text in the same editor,
//   - BitmapToRTF of a 4,000 x 3,000 picture against QByteArray::toHex of the same DIB bytes,
//     upper-cased.
// Prints a table, then one "figure NAME VALUE" line per figure (ratios; lower is better).

#include "Korvexcommonvcl.h"
#include "RtfPicture.h"
#include "UMemoFormEx.h"
#include "Vcl.Dialogs.h"
#include "Vcl.Services.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<double()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
        t.push_back(fn());
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// About 1 MB in lines of words, with "Muster" 10,000 times among them.
QString BuildText() {
    std::mt19937 rng(4711);
    const QStringList words = {QStringLiteral("Lieferung"), QStringLiteral("Prüfung"),
                               QStringLiteral("Gehäuse"),   QStringLiteral("Termin"),
                               QStringLiteral("Auftrag"),   QStringLiteral("Stückliste"),
                               QStringLiteral("Maße"),      QStringLiteral("Zeichnung"),
                               QStringLiteral("Musterung"), QStringLiteral("Öl")};
    QString text;
    text.reserve(1'100'000);
    int hits = 0;
    int line = 0;
    while (text.size() < 1'000'000 || hits < 10'000) {
        const bool hit = hits < 10'000 && rng() % 10 == 0;
        text += hit ? QStringLiteral("Muster") : words[int(rng() % words.size())];
        hits += hit;
        text += ++line % 12 == 0 ? u'\n' : u' ';
    }
    return text;
}

// Answers every message with OK and counts them.
class Silent final : public Vcl::Dialogs {
public:
    Vcl::TModalResult Ask(const Vcl::TQuestion& q) override {
        last = q.text;
        return Vcl::mrOk;
    }
    QString last;
};

class User final : public Korvexcommonvcl::ModalForms {
public:
    explicit User(std::function<void(TMemoFormEx*)> fn) : m_fn(std::move(fn)) {
        m_old = SetInstance(this);
    }
    ~User() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        m_fn(qobject_cast<TMemoFormEx*>(form));
        return Vcl::mrCancel;
    }

private:
    std::function<void(TMemoFormEx*)> m_fn;
    ModalForms* m_old;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Silent silent;
    Vcl::Dialogs* oldDialogs = Vcl::Dialogs::SetInstance(&silent);
    const QString text = BuildText();
    // "picture" or "replace" runs that part alone (for a profiler).
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    // Replace-all: the bare loop first, on the form's own document (undone again), then the same
    // through the form's replace dialog.
    QString formMessage;
    QString formResult;
    QString rawResult;
    int rawCount = 0;
    const int replaceRuns = only == u"picture" ? 1 : 5;
    const int pictureRuns = only == u"replace" ? 1 : 5;
    std::vector<double> oursRuns;
    std::vector<double> rawRuns;
    for (int run = 0; run < replaceRuns; ++run) {
        User user([&](TMemoFormEx* f) {
            f->resize(1056, 642);
            f->show();
            QApplication::processEvents();
            QTextDocument* doc = f->Editor->document();
            QElapsedTimer timer;
            timer.start();
            {
                QTextCursor block(doc);
                block.beginEditBlock();
                rawCount = 0;
                const auto flags =
                    QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords;
                for (QTextCursor hit = doc->find(QStringLiteral("Muster"), 0, flags); !hit.isNull();
                     hit = doc->find(QStringLiteral("Muster"), hit.position(), flags)) {
                    hit.insertText(QStringLiteral("Vorlage"));
                    ++rawCount;
                }
                block.endEditBlock();
            }
            QApplication::processEvents();
            rawRuns.push_back(timer.nsecsElapsed() / 1e6);
            rawResult = doc->toPlainText();
            f->BarButtonUndo->click();
            QApplication::processEvents();

            f->Editor->moveCursor(QTextCursor::Start);
            f->ReplaceDialog->SetFindText(QStringLiteral("Muster"));
            f->ReplaceDialog->SetReplaceText(QStringLiteral("Vorlage"));
            f->ReplaceDialog->SetOptions(Vcl::frDown | Vcl::frWholeWord | Vcl::frMatchCase);
            timer.restart();
            f->ReplaceDialog->BtReplaceAll->click();
            QApplication::processEvents();
            oursRuns.push_back(timer.nsecsElapsed() / 1e6);
            formMessage = silent.last;
            formResult = f->Editor->toPlainText();
        });
        QString txt = text;
        QString rtf;
        TMemoFormEx::_EditText(QStringLiteral("Bench"), txt, rtf, false, true, QChar(0), 0, false);
    }
    const double ours =
        MedianMs(int(oursRuns.size()), [&, i = 0]() mutable { return oursRuns[size_t(i++)]; });
    const double raw =
        MedianMs(int(rawRuns.size()), [&, i = 0]() mutable { return rawRuns[size_t(i++)]; });

    // A 4,000 x 3,000 picture.
    QImage picture(4000, 3000, QImage::Format_RGB32);
    std::mt19937 rng(815);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    qsizetype rtfSize = 0;
    const double pictOurs = MedianMs(pictureRuns, [&] {
        QElapsedTimer timer;
        timer.start();
        const QByteArray rtf = Rtf::BitmapToRTF(picture, true, 96, QSize(1000, 500));
        const double ms = timer.nsecsElapsed() / 1e6;
        rtfSize = rtf.size();
        return ms;
    });
    const QByteArray dib = Rtf::DibOf(picture);
    qsizetype hexSize = 0;
    const double pictRaw = MedianMs(pictureRuns, [&] {
        QElapsedTimer timer;
        timer.start();
        const QByteArray hex = dib.toHex().toUpper();
        const double ms = timer.nsecsElapsed() / 1e6;
        hexSize = hex.size();
        return ms;
    });

    Vcl::Dialogs::SetInstance(oldDialogs);
    std::printf("%-40s %10s %10s\n", "operation", "ours ms", "base ms");
    std::printf("%-40s %10.1f %10.1f   (%lld chars, %d hits, same result: %s; \"%s\")\n",
                "replace-all 10,000 hits in 1 MB", ours, raw, (long long)text.size(), rawCount,
                formResult == rawResult ? "yes" : "NO", qPrintable(formMessage));
    std::printf("%-40s %10.1f %10.1f   (%lld bytes RTF, %lld bytes hex)\n", "BitmapToRTF 4000x3000",
                pictOurs, pictRaw, (long long)rtfSize, (long long)hexSize);
    std::printf("figure replace_all_vs_raw %.3f\n", ours / raw);
    std::printf("figure bitmap_to_rtf_vs_raw_hex %.3f\n", pictOurs / pictRaw);
    return formResult == rawResult ? 0 : 1;
}
