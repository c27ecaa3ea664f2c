#pragma once
// The arithmetic of the pop-up calculator, without widgets: immediate execution as on a pocket
// calculator, German decimal comma, one memory. The display is the engine's text.

#include <QString>

class TVoskCalcEngine final {
public:
    enum Op { None, Add, Sub, Mul, Div };

    const QString& Display() const { return m_display; }
    bool HasError() const { return m_error; }
    bool HasMemory() const { return m_memory != 0; }

    void Digit(int d);
    void Comma();
    void Operator(Op op);
    // Completes the pending operation; without one the display stays as it is.
    void Equals();
    void Clear();      // C: everything except the memory
    void ClearEntry(); // CE: the current entry
    void Backspace();
    void Negate();
    void Percent(); // of the first operand for + and -, else a hundredth
    void Sqrt();
    void Reciprocal();
    void MemoryClear() { m_memory = 0; }
    void MemoryRecall();
    void MemoryStore() { m_memory = Value(); }
    void MemoryAdd() { m_memory += Value(); }

    double Value() const;
    static QString Format(double v);

private:
    void SetResult(double v);
    void Fail(const QString& message);

    QString m_display = QStringLiteral("0");
    double m_operand = 0;
    Op m_op = None;
    bool m_newEntry = true; // the next digit starts a new number
    bool m_error = false;
    double m_memory = 0;
};
