// String helpers at their edges, exception texts, and what the guard does with awkward exceptions.
#include "EventGuard.h"
#include "PdfSignature.h"
#include "StrUtils.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QObject>

#include <stdexcept>

namespace {
const QString kSmile = QString::fromUcs4(U"\U0001F600"); // two UTF-16 units
}

TEST(StrUtils, TruncateKeepsWholeCharactersAtEveryCut) {
    const QString twoSmiles = kSmile + kSmile;
    EXPECT_EQ(Rtl::TruncateText(twoSmiles, 1), QString());
    EXPECT_EQ(Rtl::TruncateText(twoSmiles, 2), kSmile);
    EXPECT_EQ(Rtl::TruncateText(twoSmiles, 3), kSmile);
    EXPECT_EQ(Rtl::TruncateText(twoSmiles, 4), twoSmiles);
    EXPECT_EQ(Rtl::TruncateText(QStringLiteral("Größe"), 3), QStringLiteral("Grö"));
    EXPECT_EQ(Rtl::TruncateText(QStringLiteral("abc"), -5), QString());
    EXPECT_EQ(Rtl::TruncateText(QString(), 10), QString());
    // Every cut of a mixed text is valid UTF-16 and a prefix of the original.
    const QString mixed = QStringLiteral("a") + kSmile + QStringLiteral("ü") + kSmile;
    for (int n = 0; n <= mixed.size() + 1; ++n) {
        const QString cut = Rtl::TruncateText(mixed, n);
        EXPECT_LE(cut.size(), n);
        EXPECT_TRUE(mixed.startsWith(cut));
        EXPECT_TRUE(cut.isEmpty() || !cut.back().isHighSurrogate()) << n;
        EXPECT_GE(cut.size(), n - 1) << "cut more than half a pair at " << n;
    }
}

TEST(StrUtils, BooleanTextInEveryStoredSpelling) {
    for (const char* yes :
         {"-1", "1", "True", "TRUE", "t", "Y", "yes", "J", "ja", " Ja ", "2", "-7"})
        EXPECT_TRUE(Rtl::StrToBoolDef(QString::fromLatin1(yes), false)) << yes;
    for (const char* no : {"0", "-0", "False", "f", "N", "no", "Nein", " 0 ", "00"})
        EXPECT_FALSE(Rtl::StrToBoolDef(QString::fromLatin1(no), true)) << no;
    // Unreadable text keeps the caller's default either way.
    for (const char* odd : {"", "   ", "1.0", "wahr", "0x1", "yes please"}) {
        EXPECT_TRUE(Rtl::StrToBoolDef(QString::fromLatin1(odd), true)) << odd;
        EXPECT_FALSE(Rtl::StrToBoolDef(QString::fromLatin1(odd), false)) << odd;
    }
    EXPECT_EQ(Rtl::BoolToStr(true), QStringLiteral("True"));
    EXPECT_EQ(Rtl::BoolToStr(false), QStringLiteral("False"));
    EXPECT_TRUE(Rtl::StrToBoolDef(Rtl::BoolToStr(true), false));
    EXPECT_FALSE(Rtl::StrToBoolDef(Rtl::BoolToStr(false), true));
}

TEST(StrUtils, ValuesByNameLikeAStringList) {
    const QStringList lines{
        QStringLiteral("=ohne Name"),
        QStringLiteral("nur Text"),
        QStringLiteral("SQL=select a = b from t"),
        QStringLiteral("Leer="),
        QStringLiteral(" Modul = Adressen"),
        QStringLiteral("modul=Zweiter"),
        QStringLiteral("Ä=Umlaut"),
    };
    bool found = false;
    EXPECT_EQ(Rtl::ValueOf(lines, QStringLiteral("sql"), &found),
              QStringLiteral("select a = b from t"));
    EXPECT_TRUE(found);
    // The first line of a name wins; the value is kept as written after "=".
    EXPECT_EQ(Rtl::ValueOf(lines, QStringLiteral("MODUL")), QStringLiteral(" Adressen"));
    EXPECT_EQ(Rtl::ValueOf(lines, QStringLiteral("Leer"), &found), QString());
    EXPECT_TRUE(found);
    EXPECT_EQ(Rtl::ValueOf(lines, QStringLiteral("ä"), &found), QStringLiteral("Umlaut"));
    EXPECT_TRUE(found);
    // A line without "=" is no value, and an empty name finds none of the nameless lines.
    Rtl::ValueOf(lines, QStringLiteral("nur Text"), &found);
    EXPECT_FALSE(found);
    Rtl::ValueOf(lines, QString(), &found);
    EXPECT_FALSE(found);
    Rtl::ValueOf({}, QStringLiteral("x"), &found);
    EXPECT_FALSE(found);
}

TEST(PdfSignature, HeaderWithinTheFirstKilobyteAndTheDeviceStaysPut) {
    EXPECT_TRUE(Rtl::HasPdfSignature(QByteArrayView("%PDF-1.7\n%\xe2\xe3")));
    EXPECT_FALSE(Rtl::HasPdfSignature(QByteArrayView()));
    EXPECT_FALSE(Rtl::HasPdfSignature(QByteArrayView("%PDF")));
    EXPECT_FALSE(Rtl::HasPdfSignature(QByteArrayView("II*\0 kein PDF")));
    // Junk before the header is taken up to the window's end, not beyond.
    const QByteArray header("%PDF-1.4");
    EXPECT_TRUE(Rtl::HasPdfSignature(QByteArrayView(QByteArray(1019, ' ') + header)));
    EXPECT_FALSE(Rtl::HasPdfSignature(QByteArrayView(QByteArray(1020, ' ') + header)));

    QByteArray bytes = QByteArray(10, '\n') + header + QByteArray(5000, 'x');
    QBuffer device(&bytes);
    EXPECT_FALSE(Rtl::HasPdfSignature(device)); // not open
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    ASSERT_TRUE(device.seek(0));
    EXPECT_TRUE(Rtl::HasPdfSignature(device));
    EXPECT_EQ(device.pos(), 0);
    EXPECT_EQ(device.readAll(), bytes);
    EXPECT_FALSE(Rtl::FileHasPdfSignature(QStringLiteral("/nonexistent/brief.pdf")));
}

TEST(Exceptions, MessagesAndClassNamesOfEveryKind) {
    const auto of = [](auto&& thrower) {
        try {
            thrower();
        } catch (...) {
            const auto e = std::current_exception();
            return Rtl::ExceptionClassName(e) + QStringLiteral(": ") + Rtl::ExceptionMessage(e);
        }
        return QString();
    };
    EXPECT_EQ(of([] { throw EVoskException(QStringLiteral("Prüfung fehlgeschlagen")); }),
              QStringLiteral("EVoskException: Prüfung fehlgeschlagen"));
    EXPECT_EQ(of([] { throw EUserRights(QStringLiteral("keine Rechte")); }),
              QStringLiteral("EUserRights: keine Rechte"));
    EXPECT_EQ(of([] { throw ERangeError(QStringLiteral("Index 5")); }),
              QStringLiteral("ERangeError: Index 5"));
    EXPECT_EQ(of([] { throw EConvertError(QStringLiteral("'x' ist keine Zahl")); }),
              QStringLiteral("EConvertError: 'x' ist keine Zahl"));
    EXPECT_EQ(of([] { throw EAbort(); }), QStringLiteral("EAbort: Operation aborted"));
    EXPECT_EQ(of([] { throw std::logic_error("Logikfehler"); }),
              QStringLiteral("Exception: Logikfehler"));
    EXPECT_EQ(of([] { throw 42; }), QStringLiteral("Exception: Unbekannter Fehler"));
    EXPECT_EQ(Rtl::ExceptionMessage(nullptr), QString());

    // Caught by its base, the class keeps its own name.
    try {
        throw EUserRights(7, QStringLiteral("Zugriff verweigert"));
    } catch (const EVoskException& e) {
        EXPECT_STREQ(e.ClassName(), "EUserRights");
        EXPECT_EQ(e.TextNr(), 7);
        EXPECT_EQ(e.Message(), QStringLiteral("Zugriff verweigert"));
    }
    // Logs that only see std::exception get the German text as UTF-8.
    const EVoskException umlauts(QStringLiteral("Größe ungültig: „5“"));
    EXPECT_EQ(QString::fromUtf8(umlauts.what()), umlauts.Message());
}

TEST(EventGuard, DisplayGetsTheSenderAndItsOwnFailuresStayInside) {
    QObject form;
    form.setObjectName(QStringLiteral("FormAdress"));
    QList<QObject*> senders;
    int calls = 0;
    Rtl::ClientErrorDisplay.Set([&](std::exception_ptr, QObject* sender) {
        senders << sender;
        if (++calls == 2)
            throw std::runtime_error("display broken");
    });
    EXPECT_FALSE(Rtl::Guarded([] { throw EVoskException(QStringLiteral("a")); }, &form));
    // A display that fails itself must not take the program down: noexcept all the way.
    EXPECT_FALSE(Rtl::Guarded([] { throw EVoskException(QStringLiteral("b")); }));
    EXPECT_EQ(senders, QList<QObject*>({&form, nullptr}));

    // The client display takes precedence over the fallback; an abort reaches neither.
    int fallback = 0;
    Rtl::FallbackErrorDisplay.Set([&](std::exception_ptr, QObject*) { ++fallback; });
    Rtl::HandleException(std::make_exception_ptr(EVoskException(QStringLiteral("c"))));
    Rtl::HandleException(std::make_exception_ptr(EAbort()));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(fallback, 0);
    Rtl::ClientErrorDisplay.Reset();
    Rtl::HandleException(std::make_exception_ptr(EAbort()));
    Rtl::HandleException(std::make_exception_ptr(std::runtime_error("d")));
    EXPECT_EQ(fallback, 1);
    Rtl::FallbackErrorDisplay.Reset();
    // With no display at all the error is only logged.
    EXPECT_FALSE(Rtl::Guarded([] { throw std::runtime_error("nur Log"); }));
}
