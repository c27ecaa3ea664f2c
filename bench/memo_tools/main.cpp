// Memo editor tools benchmark (fixed seed). Each operation runs beside its floor on the same
// data, in rounds whose first side alternates; a figure is the median of the rounds' ratios:
//   - replace-all of a word with 10,000 hits in about 1 MB of text, through the form's replace
//     dialog, against a bare loop of QTextDocument::find and insertText in one edit block on the
//     same text in the same editor (each undone again before the other runs; both results must
//     be the same text),
//   - BitmapToRTF of a 4,000 x 3,000 picture against a one-pass hex encoder (a table of the 256
//     upper-case pairs) of the same DIB bytes, taken beforehand; the floor's hex must be the
//     picture's text in the RTF.
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

#include "../Timing.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

// The floor's hex: two upper-case characters a byte from a table, in one pass.
QByteArray HexOf(const QByteArray& bytes) {
    static const auto pairs = [] {
        std::array<std::array<char, 2>, 256> t{};
        const char* digits = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = {digits[i >> 4], digits[i & 15]};
        return t;
    }();
    QByteArray hex(bytes.size() * 2, Qt::Uninitialized);
    char* o = hex.data();
    for (const char c : bytes) {
        std::memcpy(o, pairs[uchar(c)].data(), 2);
        o += 2;
    }
    return hex;
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

    // Replace-all: both sides on the form's own document, each undone again, in one round a
    // form; the side that goes first alternates.
    QString formMessage;
    QString formResult;
    QString rawResult;
    int rawCount = 0;
    bool restored = true;
    const int replaceRuns = only == u"picture" ? 1 : 7;
    const int pictureRuns = only == u"replace" ? 1 : 7;
    BenchTiming::PairedRatio replaceRatio, pictureRatio;
    std::vector<double> oursRuns, rawRuns;
    for (int run = 0; run < replaceRuns; ++run) {
        User user([&](TMemoFormEx* f) {
            f->resize(1056, 642);
            f->show();
            QApplication::processEvents();
            QTextDocument* doc = f->Editor->document();
            auto undo = [&] {
                f->BarButtonUndo->click();
                QApplication::processEvents();
                restored = restored && doc->toPlainText() == text;
            };
            auto bare = [&] {
                const auto t = BenchTiming::Stamp::Now();
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
                QApplication::processEvents();
                rawRuns.push_back(t.Elapsed().WallMs);
                rawResult = doc->toPlainText();
                undo();
            };
            auto form = [&] {
                f->Editor->moveCursor(QTextCursor::Start);
                f->ReplaceDialog->SetFindText(QStringLiteral("Muster"));
                f->ReplaceDialog->SetReplaceText(QStringLiteral("Vorlage"));
                f->ReplaceDialog->SetOptions(Vcl::frDown | Vcl::frWholeWord | Vcl::frMatchCase);
                const auto t = BenchTiming::Stamp::Now();
                f->ReplaceDialog->BtReplaceAll->click();
                QApplication::processEvents();
                oursRuns.push_back(t.Elapsed().WallMs);
                formMessage = silent.last;
                formResult = f->Editor->toPlainText();
                undo();
            };
            BenchTiming::InTurn(run, form, bare);
            replaceRatio.Add(oursRuns.back(), rawRuns.back());
        });
        QString txt = text;
        QString rtf;
        TMemoFormEx::_EditText(QStringLiteral("Bench"), txt, rtf, false, true, QChar(0), 0, false);
    }

    // A 4,000 x 3,000 picture.
    QImage picture(4000, 3000, QImage::Format_RGB32);
    std::mt19937 rng(815);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    const QByteArray dib = Rtf::DibOf(picture);
    QByteArray rtf, hex;
    std::vector<double> pictOursRuns, pictRawRuns;
    for (int run = 0; run < pictureRuns; ++run) {
        auto ours = [&] {
            rtf.clear();
            const auto t = BenchTiming::Stamp::Now();
            rtf = Rtf::BitmapToRTF(picture, true, 96, QSize(1000, 500));
            pictOursRuns.push_back(t.Elapsed().WallMs);
        };
        auto floor = [&] {
            hex.clear();
            const auto t = BenchTiming::Stamp::Now();
            hex = HexOf(dib);
            pictRawRuns.push_back(t.Elapsed().WallMs);
        };
        BenchTiming::InTurn(run, ours, floor);
        pictureRatio.Add(pictOursRuns.back(), pictRawRuns.back());
    }
    const bool samePicture = rtf.contains(hex);
    const double ours = BenchTiming::Median(oursRuns), raw = BenchTiming::Median(rawRuns);
    const double pictOurs = BenchTiming::Median(pictOursRuns);
    const double pictRaw = BenchTiming::Median(pictRawRuns);
    const qsizetype rtfSize = rtf.size(), hexSize = hex.size();

    Vcl::Dialogs::SetInstance(oldDialogs);
    std::printf("%-40s %10s %10s\n", "operation", "ours ms", "base ms");
    std::printf("%-40s %10.1f %10.1f   (%lld chars, %d hits, same result: %s; \"%s\")\n",
                "replace-all 10,000 hits in 1 MB", ours, raw, (long long)text.size(), rawCount,
                formResult == rawResult ? "yes" : "NO", qPrintable(formMessage));
    std::printf("%-40s %10.1f %10.1f   (%lld bytes RTF, %lld bytes hex, the same: %s)\n",
                "BitmapToRTF 4000x3000",
                pictOurs, pictRaw, (long long)rtfSize, (long long)hexSize,
                samePicture ? "yes" : "NO");
    std::printf("figure replace_all_vs_raw %.3f\n", replaceRatio.Median());
    std::printf("figure bitmap_to_rtf_vs_raw_hex %.3f\n", pictureRatio.Median());
    if (!samePicture || !restored) {
        std::fprintf(stderr, "%s\n",
                     !samePicture ? "the picture's hex in the RTF differs from the floor's"
                                  : "an undo did not bring back the text");
        return 1;
    }
    return formResult == rawResult ? 0 : 1;
}
