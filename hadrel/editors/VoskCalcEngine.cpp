#include "VoskCalcEngine.h"

#include <cmath>

namespace {
constexpr int MaxDigits = 15;
}

QString TVoskCalcEngine::Format(double v) {
    if (v == 0)
        return QStringLiteral("0"); // also -0
    QString s = QString::number(v, 'g', MaxDigits);
    s.replace(u'.', u',');
    return s;
}

double TVoskCalcEngine::Value() const {
    if (m_error)
        return 0;
    QString s = m_display;
    s.replace(u',', u'.');
    return s.toDouble();
}

void TVoskCalcEngine::Fail(const QString& message) {
    m_display = message;
    m_error = true;
    m_op = None;
    m_newEntry = true;
}

void TVoskCalcEngine::SetResult(double v) {
    if (!std::isfinite(v))
        return Fail(QStringLiteral("Überlauf"));
    m_display = Format(v);
    m_newEntry = true;
}

void TVoskCalcEngine::Digit(int d) {
    if (m_error)
        Clear();
    if (m_newEntry) {
        m_display = QStringLiteral("0");
        m_newEntry = false;
    }
    int digits = 0;
    for (QChar c : m_display)
        digits += c.isDigit();
    if (digits >= MaxDigits)
        return;
    if (m_display == u"0")
        m_display = QString::number(d);
    else if (m_display == u"-0")
        m_display = QStringLiteral("-") + QString::number(d);
    else
        m_display += QString::number(d);
}

void TVoskCalcEngine::Comma() {
    if (m_error)
        Clear();
    if (m_newEntry) {
        m_display = QStringLiteral("0");
        m_newEntry = false;
    }
    if (!m_display.contains(u','))
        m_display += u',';
}

void TVoskCalcEngine::Operator(Op op) {
    if (m_error)
        return;
    // A second operator right after the first only replaces it.
    if (m_op != None && !m_newEntry)
        Equals();
    if (m_error)
        return;
    m_operand = Value();
    m_op = op;
    m_newEntry = true;
}

void TVoskCalcEngine::Equals() {
    if (m_error || m_op == None)
        return;
    const double b = Value();
    double r = 0;
    switch (m_op) {
    case Add: r = m_operand + b; break;
    case Sub: r = m_operand - b; break;
    case Mul: r = m_operand * b; break;
    case Div:
        if (b == 0)
            return Fail(QStringLiteral("Division durch 0"));
        r = m_operand / b;
        break;
    case None: break;
    }
    m_op = None;
    SetResult(r);
}

void TVoskCalcEngine::Clear() {
    m_display = QStringLiteral("0");
    m_operand = 0;
    m_op = None;
    m_newEntry = true;
    m_error = false;
}

void TVoskCalcEngine::ClearEntry() {
    if (m_error)
        return Clear();
    m_display = QStringLiteral("0");
    m_newEntry = true;
}

void TVoskCalcEngine::Backspace() {
    if (m_error || m_newEntry)
        return;
    m_display.chop(1);
    if (m_display.isEmpty() || m_display == u"-")
        m_display = QStringLiteral("0");
}

void TVoskCalcEngine::Negate() {
    if (m_error || m_display == u"0")
        return;
    if (m_display.startsWith(u'-'))
        m_display.remove(0, 1);
    else
        m_display.prepend(u'-');
}

void TVoskCalcEngine::Percent() {
    if (m_error)
        return;
    const double v = Value();
    SetResult(m_op == Add || m_op == Sub ? m_operand * v / 100 : v / 100);
}

void TVoskCalcEngine::Sqrt() {
    if (m_error)
        return;
    const double v = Value();
    if (v < 0)
        return Fail(QStringLiteral("Ungültige Eingabe"));
    SetResult(std::sqrt(v));
}

void TVoskCalcEngine::Reciprocal() {
    if (m_error)
        return;
    const double v = Value();
    if (v == 0)
        return Fail(QStringLiteral("Division durch 0"));
    SetResult(1 / v);
}

void TVoskCalcEngine::MemoryRecall() {
    if (m_error)
        Clear();
    m_display = Format(m_memory);
    m_newEntry = true;
}
