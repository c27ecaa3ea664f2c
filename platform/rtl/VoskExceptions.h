#pragma once
// Exception classes of the runtime layer. EAbort is the silent abort: it ends an action after the
// user has been told, and no handler shows anything for it.

#include <QByteArray>
#include <QString>
#include <exception>

class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Base of the maker's exception family: a German default text and an optional text number that the
// text table translates.
class EVoskException : public std::exception {
public:
    explicit EVoskException(QString message, int textNr = 0);
    EVoskException(int textNr, const QString& germanDefault);

    const QString& Message() const noexcept { return m_message; }
    int TextNr() const noexcept { return m_textNr; }
    const char* what() const noexcept override { return m_what.constData(); }
    virtual const char* ClassName() const noexcept { return "EVoskException"; }

protected:
    void setMessage(const QString& message);

private:
    QString m_message;
    int m_textNr = 0;
    QByteArray m_what;
};

class EUserRights : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EUserRights"; }
};

class ERangeError : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "ERangeError"; }
};

class EConvertError : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EConvertError"; }
};

namespace Rtl {
// Text of any exception for logs and messages; EVoskException keeps its German text.
QString ExceptionMessage(std::exception_ptr e);
QString ExceptionClassName(std::exception_ptr e);
} // namespace Rtl

namespace Rtl {
// A failed assertion. Always on, unlike C assert: the check guards state the release build relies on.
class EAssertionFailed : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override { return "EAssertionFailed"; }
};

// Raises EAssertionFailed "Assertion fehlgeschlagen (source)" unless condition holds.
void Assert(bool condition, const QString& source);
// The same with the assertion's own text: "message (source)".
void Assert(bool condition, const QString& source, const QString& message);
} // namespace Rtl
