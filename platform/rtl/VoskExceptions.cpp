#include "VoskExceptions.h"

EVoskException::EVoskException(QString message, int textNr) : m_textNr(textNr) {
    setMessage(message);
}

EVoskException::EVoskException(int textNr, const QString& germanDefault) : m_textNr(textNr) {
    setMessage(germanDefault);
}

void EVoskException::setMessage(const QString& message) {
    m_message = message;
    m_what = message.toUtf8();
}

namespace Rtl {

QString ExceptionMessage(std::exception_ptr e) {
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const EVoskException& ex) {
        return ex.Message();
    } catch (const std::exception& ex) {
        return QString::fromUtf8(ex.what());
    } catch (...) {
        return QStringLiteral("Unbekannter Fehler");
    }
    return {};
}

QString ExceptionClassName(std::exception_ptr e) {
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const EVoskException& ex) {
        return QString::fromLatin1(ex.ClassName());
    } catch (const EAbort&) {
        return QStringLiteral("EAbort");
    } catch (const std::exception&) {
        return QStringLiteral("Exception");
    } catch (...) {
    }
    return QStringLiteral("Exception");
}

} // namespace Rtl

namespace Rtl {
void Assert(bool condition, const QString& source) {
    if (!condition)
        throw EAssertionFailed(QStringLiteral("Assertion fehlgeschlagen (%1)").arg(source));
}

void Assert(bool condition, const QString& source, const QString& message) {
    if (!condition)
        throw EAssertionFailed(QStringLiteral("%1 (%2)").arg(message, source));
}
} // namespace Rtl
