// Memo editor benchmark (fixed seed). Each operation runs beside its baseline on the same data:
//   - reading about 1 MB of formatted RTF against the same document built with QTextCursor from
//     runs parsed beforehand (the floor), and against setHtml (an anchor); writing it against
//     toHtml; a rewrite that differs from the text read fails the run,
//   - a 2,000 x 1,500 picture as \dibitmap hex against QByteArray::fromHex and a QImage over it,
//   - 200 keystrokes in the memo editor on that text against a bare QTextEdit.
// Prints a table, then one "figure NAME VALUE" line per figure (ratios; lower is better).

#include "Korvexcommonvcl.h"
#include "RtfCodec.h"
#include "UMemoFormEx.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// 5,000 paragraphs with runs of every character format, 300 list items, umlauts that the writer
// escapes as \'hh and letters outside code page 1252 that it writes as \uN.
void BuildDocument(QTextDocument& doc) {
    std::mt19937 rng(4711);
    const QStringList words = {QStringLiteral("Prüfung"), QStringLiteral("Maße"), QStringLiteral("Öl"),
                               QStringLiteral("Gehäuse"), QStringLiteral("Lieferung"),
                               QStringLiteral("Łódź"), QStringLiteral("Kőszeg"), QStringLiteral("Termin"),
                               QStringLiteral("Auftrag"), QStringLiteral("Stückliste"), QStringLiteral("€")};
    const QStringList fonts = {QStringLiteral("Arial"), QStringLiteral("Times New Roman"),
                               QStringLiteral("Courier New")};
    QTextCursor c(&doc);
    c.beginEditBlock();
    int listItems = 0;
    QTextList* list = nullptr;
    for (int p = 0; p < 5000; ++p) {
        if (p > 0)
            c.insertBlock(QTextBlockFormat());
        QTextBlockFormat bf;
        bf.setAlignment(p % 4 == 1 ? Qt::AlignHCenter : p % 4 == 2 ? Qt::AlignRight : Qt::AlignLeft);
        c.setBlockFormat(bf);
        if (listItems < 300 && p % 16 < 4) {
            if (!list || p % 16 == 0) {
                QTextListFormat lf;
                lf.setStyle(p % 32 < 16 ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
                list = c.createList(lf);
            } else {
                list->add(c.block());
            }
            ++listItems;
        } else {
            list = nullptr;
        }
        for (int r = 0; r < 6; ++r) {
            QTextCharFormat f;
            f.setFontFamilies({fonts[rng() % fonts.size()]});
            f.setFontPointSize(8 + rng() % 12);
            f.setFontWeight(rng() % 3 == 0 ? QFont::Bold : QFont::Normal);
            f.setFontItalic(rng() % 4 == 0);
            f.setFontUnderline(rng() % 5 == 0);
            f.setFontStrikeOut(rng() % 9 == 0);
            if (rng() % 3 == 0)
                f.setForeground(QColor::fromRgb(rng() % 8 * 32, rng() % 8 * 32, rng() % 8 * 32));
            if (rng() % 7 == 0)
                f.setBackground(QColor(255, 255, 0));
            QString run;
            for (int w = 0; w < 4; ++w)
                run += words[rng() % words.size()] + u' ';
            c.insertText(run, f);
        }
    }
    c.endEditBlock();
}

// The document's paragraphs and runs, taken apart before the clock starts.
struct Paragraph {
    QTextBlockFormat format;
    int list = -1; // index into the lists, -1 outside one
    bool listStarts = false;
    std::vector<std::pair<QString, QTextCharFormat>> runs;
};

std::vector<Paragraph> Runs(const QTextDocument& doc, std::vector<QTextListFormat>& lists) {
    std::vector<Paragraph> out;
    QHash<const QTextList*, int> seen;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        Paragraph p;
        p.format = b.blockFormat();
        // A list paragraph's format names its list by an index into this document's objects;
        // in the document built from the runs that index is unknown (or another object), so
        // the list is made there again by createList/add instead.
        p.format.clearProperty(QTextFormat::ObjectIndex);
        if (const QTextList* l = b.textList()) {
            const auto it = seen.constFind(l);
            p.listStarts = it == seen.constEnd();
            p.list = p.listStarts ? int(lists.size()) : *it;
            if (p.listStarts) {
                seen.insert(l, p.list);
                lists.push_back(l->format());
            }
        }
        for (auto f = b.begin(); !f.atEnd(); ++f)
            p.runs.emplace_back(f.fragment().text(), f.fragment().charFormat());
        out.push_back(std::move(p));
    }
    return out;
}

void BuildFromRuns(const std::vector<Paragraph>& paragraphs,
                   const std::vector<QTextListFormat>& listFormats, QTextDocument& doc) {
    doc.clear();
    QTextCursor c(&doc);
    c.beginEditBlock();
    std::vector<QTextList*> lists(listFormats.size(), nullptr);
    bool first = true;
    for (const Paragraph& p : paragraphs) {
        if (!first)
            c.insertBlock(p.format);
        else
            c.setBlockFormat(p.format);
        first = false;
        if (p.list >= 0) {
            if (p.listStarts)
                lists[size_t(p.list)] = c.createList(listFormats[size_t(p.list)]);
            else
                lists[size_t(p.list)]->add(c.block());
        }
        for (const auto& [text, format] : p.runs)
            c.insertText(text, format);
    }
    c.endEditBlock();
}

void Keystrokes(QWidget* target, int n) {
    for (int i = 0; i < n; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(target, &release);
        QApplication::processEvents();
    }
}

// Runs fn inside the memo editor's modal edit instead of a user.
class Typist final : public Korvexcommonvcl::ModalForms {
public:
    explicit Typist(std::function<void(TMemoFormEx*)> fn) : m_fn(std::move(fn)) {
        m_old = SetInstance(this);
    }
    ~Typist() override { SetInstance(m_old); }
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
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    QTextDocument source;
    BuildDocument(source);
    const QByteArray rtf = Rtf::Write(&source);
    const QString html = source.toHtml();

    QTextDocument a, b, floorDoc;
    std::vector<QTextListFormat> listFormats;
    const std::vector<Paragraph> paragraphs = Runs(source, listFormats);
    std::vector<double> readRatio;
    double rtfRead = 0, cursorRead = 0;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer t;
        for (int side = 0; side < 2; ++side) {
            t.start();
            if ((side == 0) == (round % 2 == 0)) {
                Rtf::Read(rtf, &a);
                rtfRead = t.nsecsElapsed() / 1e6;
            } else {
                BuildFromRuns(paragraphs, listFormats, floorDoc);
                cursorRead = t.nsecsElapsed() / 1e6;
            }
        }
        readRatio.push_back(rtfRead / cursorRead);
    }
    std::sort(readRatio.begin(), readRatio.end());
    if (a.toPlainText() != floorDoc.toPlainText() || a.blockCount() != floorDoc.blockCount()) {
        std::fprintf(stderr, "the RTF read and the cursor floor give different documents\n");
        return 1;
    }
    const double htmlRead = MedianMs(5, [&] { b.setHtml(html); });
    QByteArray written;
    QString htmlWritten;
    const double rtfWrite = MedianMs(5, [&] { written = Rtf::Write(&a); });
    const double htmlWrite = MedianMs(5, [&] { htmlWritten = b.toHtml(); });
    const bool same = written == rtf;

    // The picture: 24-bit DIB, rows bottom-up, as the picture tool writes it.
    const int w = 2000, h = 1500, stride = (w * 3 + 3) & ~3;
    QByteArray dib(40 + stride * h, '\0');
    {
        std::mt19937 rng(815);
        auto* d = reinterpret_cast<uchar*>(dib.data());
        const quint32 hdr[] = {40, quint32(w), quint32(h)};
        std::memcpy(d, hdr, 12);
        d[12] = 1;
        d[14] = 24;
        for (int i = 40; i < dib.size(); ++i)
            d[i] = uchar((i * 7 + (rng() & 15)) & 0xFF);
    }
    const QByteArray hex = dib.toHex().toUpper();
    const QByteArray pictRtf = "{\\rtf1 {\\pict\\dibitmap0\\picw" + QByteArray::number(w) + "\\pich" +
                               QByteArray::number(h) + "\\picwgoal" + QByteArray::number(w * 15) +
                               "\\pichgoal" + QByteArray::number(h * 15) + " " + hex + "}\\par}";
    QTextDocument pd;
    const double pictRead = MedianMs(5, [&] { Rtf::Read(pictRtf, &pd); });
    qint64 sink = 0;
    const double rawHex = MedianMs(5, [&] {
        const QByteArray bytes = QByteArray::fromHex(hex);
        const QImage img(reinterpret_cast<const uchar*>(bytes.constData()) + 40, w, h, stride,
                         QImage::Format_BGR888);
        sink += img.pixel(w / 2, h / 2);
    });

    // Keystrokes on the 1 MB text: the memo editor against a bare QTextEdit of the same size.
    double memoKeys = 0;
    QSize editorSize;
    {
        Typist typist([&](TMemoFormEx* f) {
            f->show();
            f->Editor->moveCursor(QTextCursor::End);
            f->Editor->setFocus();
            QApplication::processEvents();
            editorSize = f->Editor->size();
            memoKeys = MedianMs(3, [&] { Keystrokes(f->Editor, 200); });
        });
        QString txt, txtRtf = QString::fromLatin1(rtf);
        TMemoFormEx::_EditText(QStringLiteral("Bench"), txt, txtRtf, false, true, QChar(0), 0, false);
    }
    QTextEdit bare;
    bare.resize(editorSize);
    Rtf::Read(rtf, bare.document());
    bare.show();
    bare.moveCursor(QTextCursor::End);
    bare.setFocus();
    QApplication::processEvents();
    const double bareKeys = MedianMs(3, [&] { Keystrokes(&bare, 200); });

    std::printf("%-34s %10s %10s\n", "operation", "ours ms", "base ms");
    std::printf("%-34s %10.1f %10.1f   (QTextCursor from parsed runs)\n", "read 1 MB text",
                rtfRead, cursorRead);
    std::printf("%-34s %10s %10.1f   (%lld bytes RTF, %lld chars HTML)\n", "  anchor: setHtml", "",
                htmlRead, qint64(rtf.size()), qint64(html.size()));
    std::printf("%-34s %10.1f %10.1f   (rewritten identically: %s)\n", "write 1 MB text", rtfWrite,
                htmlWrite, same ? "yes" : "no");
    std::printf("%-34s %10.1f %10.1f   (%lld bytes hex)\n", "read 2000x1500 \\dibitmap", pictRead,
                rawHex, qint64(hex.size()));
    std::printf("%-34s %10.1f %10.1f\n", "200 keystrokes on 1 MB", memoKeys, bareKeys);
    std::printf("figure rtf_read_vs_cursor %.3f\n", readRatio[readRatio.size() / 2]);
    std::printf("figure rtf_read_vs_qt_html %.3f\n", rtfRead / htmlRead);
    std::printf("figure rtf_write_vs_qt_html %.3f\n", rtfWrite / htmlWrite);
    std::printf("figure rtf_picture_vs_raw_hex %.3f\n", pictRead / rawHex);
    std::printf("figure memo_keystroke_vs_bare %.3f\n", memoKeys / bareKeys);
    if (!same) {
        std::fprintf(stderr, "the text read and written again differs from what was read\n");
        return 1;
    }
    return sink == -1;
}
