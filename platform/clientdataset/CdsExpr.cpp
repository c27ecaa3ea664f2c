#include "CdsExpr.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Cds {

QString ExprMessage(const char* text, const QString& arg) {
    QString s = QString::fromUtf8(text);
    return s.contains(QLatin1String("%1")) ? s.arg(arg) : s;
}

namespace {

[[noreturn]] void Fail(const char* text, const QString& arg = {}) {
    throw EDatabaseError(ExprMessage(text, arg));
}

const char* const kFunctions[] = {"UPPER", "LOWER", "SUBSTRING", "TRIM",    "TRIMLEFT",
                                  "TRIMRIGHT", "YEAR", "MONTH",  "DAY",     "HOUR",
                                  "MINUTE", "SECOND", "GETDATE", "DATE",    "TIME",
                                  "SUM",   "MIN",     "MAX",     "AVG",     "COUNT"};

enum class Tok {
    End, Symbol, Name, Literal, LParen, RParen, Eq, Ne, Ge, Le, Gt, Lt, Plus, Minus, Mul, Div,
    Comma, Like, IsNull, IsNotNull, In
};

enum class LitKind { String, Integer, Float };

struct Lexer final {
    const QString* text = nullptr;
    qsizetype pos = 0;
    Tok token = Tok::End;
    Tok prev = Tok::End;
    QString tokenString;
    LitKind lit = LitKind::String;
    qsizetype tokenPos = 0;

    QChar at(qsizetype i) const { return i < text->size() ? text->at(i) : QChar(); }
    bool atEnd(qsizetype i) const { return i >= text->size(); }

    void skipBlanks() {
        while (!atEnd(pos) && at(pos).unicode() > 0 && at(pos).unicode() <= ' ')
            ++pos;
    }

    static bool invalidChar(char16_t c) {
        if (c < 32 || c == 127 || c == 128 || c == 255 || c == 0xFFFE || c == 0xFFFF)
            return true;
        switch (c) {
        case '"': case '!': case '#': case '$': case '%': case '&': case '.': case ':':
        case ';': case '?': case '^': case '`': case '{': case '|': case '}': case '~':
        case '\\': case ']': case '@':
            return true;
        default:
            return false;
        }
    }
    static bool symbolStart(char16_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
               (c > 128 && !invalidChar(c));
    }
    static bool symbolChar(char16_t c) {
        return symbolStart(c) || (c >= '0' && c <= '9') || c == '.';
    }
    bool operandBefore() const {
        return prev == Tok::Name || prev == Tok::Symbol || prev == Tok::Literal ||
               prev == Tok::RParen;
    }

    QString readSymbolAt(qsizetype& p) const {
        const qsizetype start = p;
        while (!atEnd(p) && symbolChar(at(p).unicode()))
            ++p;
        return text->mid(start, p - start);
    }

    void next() {
        prev = token;
        tokenString.clear();
        skipBlanks();
        tokenPos = pos;
        if (atEnd(pos)) {
            token = Tok::End;
            return;
        }
        const char16_t c = at(pos).unicode();
        if (c == '\'') {
            ++pos;
            QString s;
            for (;;) {
                if (atEnd(pos))
                    Fail(ExprText::StringTerm);
                if (at(pos) == u'\'') {
                    if (at(pos + 1) == u'\'') {
                        s += u'\'';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                s += at(pos++);
            }
            token = Tok::Literal;
            lit = LitKind::String;
            tokenString = s;
            return;
        }
        if (c == '[') {
            const qsizetype close = text->indexOf(u']', pos + 1);
            if (close < 0)
                Fail(ExprText::NameTerm);
            tokenString = text->mid(pos + 1, close - pos - 1);
            pos = close + 1;
            token = Tok::Name;
            return;
        }
        if ((c >= '0' && c <= '9') || (c == '-' && !operandBefore())) {
            readNumber();
            return;
        }
        auto two = [&](Tok t) {
            token = t;
            tokenString = text->mid(pos, 2);
            pos += 2;
        };
        auto one = [&](Tok t) {
            token = t;
            tokenString = QString(QChar(c));
            ++pos;
        };
        switch (c) {
        case '(': return one(Tok::LParen);
        case ')': return one(Tok::RParen);
        case ',': return one(Tok::Comma);
        case '+': return one(Tok::Plus);
        case '-': return one(Tok::Minus);
        case '*': return one(Tok::Mul);
        case '/': return one(Tok::Div);
        case '=': return one(Tok::Eq);
        case '<':
            if (at(pos + 1) == u'=')
                return two(Tok::Le);
            if (at(pos + 1) == u'>')
                return two(Tok::Ne);
            return one(Tok::Lt);
        case '>':
            if (at(pos + 1) == u'=')
                return two(Tok::Ge);
            return one(Tok::Gt);
        default:
            break;
        }
        if (symbolStart(c)) {
            tokenString = readSymbolAt(pos);
            token = Tok::Symbol;
            const QString up = tokenString.toUpper();
            if (up == QLatin1String("LIKE"))
                token = Tok::Like;
            else if (up == QLatin1String("IN"))
                token = Tok::In;
            else if (up == QLatin1String("IS"))
                readIs();
            return;
        }
        Fail(ExprText::InvalidChar, QString(QChar(c)));
    }

    void readIs() {
        qsizetype p = pos;
        auto word = [&]() {
            while (!atEnd(p) && at(p).unicode() > 0 && at(p).unicode() <= ' ')
                ++p;
            return readSymbolAt(p).toUpper();
        };
        QString w = word();
        if (w == QLatin1String("NULL")) {
            token = Tok::IsNull;
        } else if (w == QLatin1String("NOT") && word() == QLatin1String("NULL")) {
            token = Tok::IsNotNull;
        } else {
            Fail(ExprText::InvalidKeyword, QStringLiteral("IS"));
        }
        tokenString = text->mid(tokenPos, p - tokenPos);
        pos = p;
    }

    // Always '.' as decimal separator: list separators stay ',' whatever the locale.
    void readNumber() {
        const qsizetype start = pos;
        if (at(pos) == u'-')
            ++pos;
        auto digit = [&](qsizetype i) { return at(i) >= u'0' && at(i) <= u'9'; };
        bool isFloat = false;
        const qsizetype digitsStart = pos;
        while (digit(pos))
            ++pos;
        if (at(pos) == u'.' && digit(pos + 1)) {
            isFloat = true;
            ++pos;
            while (digit(pos))
                ++pos;
        }
        if (pos == digitsStart)
            Fail(ExprText::BadConst, text->mid(start, pos - start + 1));
        if ((at(pos) == u'e' || at(pos) == u'E') &&
            (digit(pos + 1) || ((at(pos + 1) == u'+' || at(pos + 1) == u'-') && digit(pos + 2)))) {
            isFloat = true;
            pos += 2;
            while (digit(pos))
                ++pos;
        }
        tokenString = text->mid(start, pos - start);
        token = Tok::Literal;
        lit = isFloat ? LitKind::Float : LitKind::Integer;
    }

    QString describe() const {
        return token == Tok::End ? QStringLiteral("Ende des Ausdrucks")
                                 : QStringLiteral("'%1'").arg(tokenString);
    }
};

enum class NodeKind { Field, Const, Unary, Binary, Func };
enum class Op {
    None, Or, And, Not, Eq, Ne, Lt, Gt, Le, Ge, Like, IsNull, IsNotNull, In, Add, Sub, Mul, Div
};

bool IsNumeric(ExprType t) { return t == ExprType::Integer || t == ExprType::Float; }
bool IsTemporal(ExprType t) {
    return t == ExprType::Date || t == ExprType::Time || t == ExprType::DateTime;
}

ExprType TypeOfField(FieldType f) {
    switch (f) {
    case FieldType::Integer:
    case FieldType::LargeInt: return ExprType::Integer;
    case FieldType::Float:
    case FieldType::Currency: return ExprType::Float;
    case FieldType::Boolean: return ExprType::Boolean;
    case FieldType::String: return ExprType::String;
    case FieldType::Date: return ExprType::Date;
    case FieldType::DateTime: return ExprType::DateTime;
    }
    return ExprType::Null;
}

// SQL LIKE with % and _, without allocation.
bool LikeMatch(QStringView s, QStringView p, Qt::CaseSensitivity cs) {
    qsizetype si = 0, pi = 0, star = -1, mark = 0;
    auto eq = [&](QChar a, QChar b) {
        return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
    };
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == u'_' || (p[pi] != u'%' && eq(p[pi], s[si])))) {
            ++si;
            ++pi;
        } else if (pi < p.size() && p[pi] == u'%') {
            star = pi++;
            mark = si;
        } else if (star >= 0) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%')
        ++pi;
    return pi == p.size();
}

} // namespace

struct Expression::Node final {
    NodeKind Kind = NodeKind::Const;
    Op Oper = Op::None;
    ExprType Type = ExprType::Null;
    QVariant Value;
    int Field = -1;
    QString Name;
    std::vector<const Node*> Args; // function arguments, IN list
    const Node* Left = nullptr;
    const Node* Right = nullptr;
    bool HasAggregate = false; // the node is or contains an aggregate
    bool HasField = false;     // the node reads a field outside any aggregate
    bool IsAgg = false;
    AggFunc Func = AggFunc::Count;
    bool CountStar = false;
    int AggSlot = -1;
    bool PartialCompare = false; // string constant ending in '*' compares as a prefix
    bool Calculated = false;     // field node over a calculated field
};

bool IsFunctionName(const QString& name) {
    for (const char* f : kFunctions)
        if (name.compare(QLatin1String(f), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

class Parser final {
public:
    using Node = Expression::Node;

    Parser(Expression& e, const ExprHooks& h, ParserOptions po, FilterOptions fo)
        : m_e(e), m_hooks(h), m_po(po), m_fo(fo) {}

    void Run() {
        m_lex.text = &m_e.m_text;
        m_lex.next();
        if (m_lex.token == Tok::End)
            Fail(ExprText::Nothing);
        const Node* root = ParseOr();
        if (m_lex.token != Tok::End)
            Fail(ExprText::Termination, m_lex.describe());
        if (m_po & ParserOption::Aggregate) {
            if (!root->HasAggregate)
                Fail(ExprText::NotAggregate);
            if (root->HasField)
                Fail(ExprText::BadScope);
        } else if (!(m_po & ParserOption::DefaultExpression) && root->Type != ExprType::Boolean &&
                   root->Type != ExprType::Null) {
            Fail(ExprText::Incorrect);
        }
        m_e.m_root = root;
        m_e.m_isAggregate = root->HasAggregate;
        std::sort(m_dependent.begin(), m_dependent.end());
        m_dependent.erase(std::unique(m_dependent.begin(), m_dependent.end()), m_dependent.end());
        m_e.m_dependent = std::move(m_dependent);
    }

private:
    Node* Make(NodeKind k, Op op = Op::None) {
        m_e.m_nodes.push_back(std::make_unique<Node>());
        Node* n = m_e.m_nodes.back().get();
        n->Kind = k;
        n->Oper = op;
        return n;
    }

    bool IsWord(const char* w) const {
        return m_lex.token == Tok::Symbol &&
               m_lex.tokenString.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }

    Node* Binary(Op op, const Node* l, const Node* r, ExprType t) {
        Node* n = Make(NodeKind::Binary, op);
        n->Left = l;
        n->Right = r;
        n->Type = t;
        n->HasAggregate = l->HasAggregate || r->HasAggregate;
        n->HasField = l->HasField || r->HasField;
        return n;
    }

    static void CheckBoolean(const Node* n) {
        if (n->Type != ExprType::Boolean && n->Type != ExprType::Null)
            Fail(ExprText::TypeMismatch);
    }

    const Node* ParseOr() {
        const Node* l = ParseAnd();
        while (IsWord("OR")) {
            m_lex.next();
            const Node* r = ParseAnd();
            CheckBoolean(l);
            CheckBoolean(r);
            l = Binary(Op::Or, l, r, ExprType::Boolean);
        }
        return l;
    }

    const Node* ParseAnd() {
        const Node* l = ParseNot();
        while (IsWord("AND")) {
            m_lex.next();
            const Node* r = ParseNot();
            CheckBoolean(l);
            CheckBoolean(r);
            l = Binary(Op::And, l, r, ExprType::Boolean);
        }
        return l;
    }

    const Node* ParseNot() {
        if (IsWord("NOT")) {
            m_lex.next();
            const Node* operand = ParseNot();
            CheckBoolean(operand);
            Node* n = Make(NodeKind::Unary, Op::Not);
            n->Left = operand;
            n->Type = ExprType::Boolean;
            n->HasAggregate = operand->HasAggregate;
            n->HasField = operand->HasField;
            return n;
        }
        return ParseCompare();
    }

    // A string constant against a date or number is converted once, here.
    void Coerce(const Node* a, const Node* b) {
        auto fix = [](const Node* cst, ExprType target) {
            if (cst->Kind != NodeKind::Const || cst->Type != ExprType::String)
                return false;
            Node* c = const_cast<Node*>(cst);
            const QString s = c->Value.toString();
            QVariant v;
            bool valid = false;
            if (target == ExprType::Date) {
                const QDate d = QDate::fromString(s, Qt::ISODate);
                valid = d.isValid();
                v = d;
            } else if (target == ExprType::DateTime) {
                QDateTime dt = QDateTime::fromString(s, Qt::ISODate);
                if (!dt.isValid())
                    dt = QDateTime(QDate::fromString(s, Qt::ISODate), QTime(0, 0));
                valid = dt.isValid();
                v = dt;
            } else if (target == ExprType::Time) {
                const QTime t = QTime::fromString(s, Qt::ISODate);
                valid = t.isValid();
                v = t;
            } else {
                const double d = QLocale::c().toDouble(s, &valid);
                v = d;
            }
            if (!valid)
                Fail(ExprText::BadConst, s);
            c->Value = v;
            c->Type = IsNumeric(target) ? ExprType::Float : target;
            c->PartialCompare = false;
            return true;
        };
        if (b->Type != ExprType::String && (IsTemporal(b->Type) || IsNumeric(b->Type)))
            fix(a, b->Type);
        if (a->Type != ExprType::String && (IsTemporal(a->Type) || IsNumeric(a->Type)))
            fix(b, a->Type);
    }

    void CheckComparable(const Node* a, const Node* b) {
        Coerce(a, b);
        const ExprType ta = a->Type, tb = b->Type;
        if (ta == ExprType::Null || tb == ExprType::Null)
            return;
        if ((IsNumeric(ta) && IsNumeric(tb)) || (IsTemporal(ta) && IsTemporal(tb)) || ta == tb)
            return;
        Fail(ExprText::TypeMismatch);
    }

    const Node* ParseCompare() {
        const Node* l = ParseAdditive();
        Op op = Op::None;
        switch (m_lex.token) {
        case Tok::Eq: op = Op::Eq; break;
        case Tok::Ne: op = Op::Ne; break;
        case Tok::Lt: op = Op::Lt; break;
        case Tok::Gt: op = Op::Gt; break;
        case Tok::Le: op = Op::Le; break;
        case Tok::Ge: op = Op::Ge; break;
        case Tok::Like: op = Op::Like; break;
        case Tok::In: op = Op::In; break;
        case Tok::IsNull: op = Op::IsNull; break;
        case Tok::IsNotNull: op = Op::IsNotNull; break;
        default: return l;
        }
        m_lex.next();
        if (op == Op::IsNull || op == Op::IsNotNull) {
            Node* n = Make(NodeKind::Unary, op);
            n->Left = l;
            n->Type = ExprType::Boolean;
            n->HasAggregate = l->HasAggregate;
            n->HasField = l->HasField;
            return n;
        }
        if (op == Op::In) {
            if (m_lex.token != Tok::LParen)
                Fail(ExprText::NoLParen, m_lex.describe());
            m_lex.next();
            if (m_lex.token == Tok::RParen)
                Fail(ExprText::EmptyInList);
            Node* n = Make(NodeKind::Binary, Op::In);
            n->Left = l;
            n->Type = ExprType::Boolean;
            n->HasAggregate = l->HasAggregate;
            n->HasField = l->HasField;
            for (;;) {
                const Node* item = ParseAdditive();
                CheckComparable(l, item);
                n->Args.push_back(item);
                n->HasAggregate |= item->HasAggregate;
                n->HasField |= item->HasField;
                if (m_lex.token == Tok::Comma) {
                    m_lex.next();
                    continue;
                }
                if (m_lex.token != Tok::RParen)
                    Fail(ExprText::NoRParenOrComma, m_lex.describe());
                m_lex.next();
                break;
            }
            return n;
        }
        const Node* r = ParseAdditive();
        if (op == Op::Like) {
            if ((l->Type != ExprType::String && l->Type != ExprType::Null) ||
                (r->Type != ExprType::String && r->Type != ExprType::Null))
                Fail(ExprText::TypeMismatch);
        } else {
            if ((l->Kind == NodeKind::Const && l->Type == ExprType::Null) ||
                (r->Kind == NodeKind::Const && r->Type == ExprType::Null)) {
                if (op != Op::Eq && op != Op::Ne)
                    Fail(ExprText::BadNullTest);
            }
            CheckComparable(l, r);
        }
        return Binary(op, l, r, ExprType::Boolean);
    }

    ExprType ArithType(Op op, const Node* l, const Node* r) {
        const ExprType a = l->Type, b = r->Type;
        if (a == ExprType::Null)
            return b == ExprType::Null ? ExprType::Null : b;
        if (b == ExprType::Null)
            return a;
        if (IsNumeric(a) && IsNumeric(b)) {
            if (op == Op::Div || a == ExprType::Float || b == ExprType::Float)
                return ExprType::Float;
            return ExprType::Integer;
        }
        if (op == Op::Add && a == ExprType::String && b == ExprType::String)
            return ExprType::String;
        if ((op == Op::Add || op == Op::Sub) && (a == ExprType::Date || a == ExprType::DateTime) &&
            IsNumeric(b))
            return a;
        if (op == Op::Add && IsNumeric(a) && (b == ExprType::Date || b == ExprType::DateTime))
            return b;
        if (op == Op::Sub && IsTemporal(a) && IsTemporal(b))
            return ExprType::Float;
        Fail(ExprText::TypeMismatch);
    }

    const Node* ParseAdditive() {
        const Node* l = ParseTerm();
        while (m_lex.token == Tok::Plus || m_lex.token == Tok::Minus) {
            if (!(m_po & ParserOption::ExtendedSyntax))
                Fail(ExprText::NoArith);
            const Op op = m_lex.token == Tok::Plus ? Op::Add : Op::Sub;
            m_lex.next();
            const Node* r = ParseTerm();
            l = Binary(op, l, r, ArithType(op, l, r));
        }
        return l;
    }

    const Node* ParseTerm() {
        const Node* l = ParsePrimary();
        while (m_lex.token == Tok::Mul || m_lex.token == Tok::Div) {
            if (!(m_po & ParserOption::ExtendedSyntax))
                Fail(ExprText::NoArith);
            const Op op = m_lex.token == Tok::Mul ? Op::Mul : Op::Div;
            m_lex.next();
            const Node* r = ParsePrimary();
            l = Binary(op, l, r, ArithType(op, l, r));
        }
        return l;
    }

    bool FollowedByLParen() const {
        Lexer peek = m_lex;
        peek.next();
        return peek.token == Tok::LParen;
    }

    const Node* FieldNode(const QString& name) {
        std::optional<ExprField> f = m_hooks.FindField ? m_hooks.FindField(name) : std::nullopt;
        if (!f) {
            if (m_hooks.MissingField)
                m_hooks.MissingField(name);
            Fail(ExprText::FieldNotFound, name);
        }
        Node* n = Make(NodeKind::Field);
        n->Name = name;
        n->Field = f->Number;
        n->Type = TypeOfField(f->Type);
        n->HasField = true;
        n->Calculated = f->Calculated;
        if (m_po & ParserOption::FieldDepend)
            m_dependent.push_back(f->Number);
        return n;
    }

    const Node* ParsePrimary() {
        switch (m_lex.token) {
        case Tok::LParen: {
            m_lex.next();
            const Node* inner = ParseOr();
            if (m_lex.token != Tok::RParen)
                Fail(ExprText::NoRParen, m_lex.describe());
            m_lex.next();
            return inner;
        }
        case Tok::Name: {
            const QString name = m_lex.tokenString;
            m_lex.next();
            return FieldNode(name);
        }
        case Tok::Literal: {
            Node* n = Make(NodeKind::Const);
            const QString s = m_lex.tokenString;
            if (m_lex.lit == LitKind::String) {
                n->Type = ExprType::String;
                n->Value = s;
                n->PartialCompare =
                    !(m_fo & FilterOption::NoPartialCompare) && s.endsWith(u'*');
            } else {
                bool ok = false;
                if (m_lex.lit == LitKind::Integer) {
                    const qint64 v = s.toLongLong(&ok);
                    if (ok) {
                        n->Type = ExprType::Integer;
                        n->Value = v;
                    }
                }
                if (!ok) {
                    const double d = QLocale::c().toDouble(s, &ok);
                    if (!ok || !std::isfinite(d))
                        Fail(ExprText::RangeError, s);
                    n->Type = ExprType::Float;
                    n->Value = d;
                }
            }
            m_lex.next();
            return n;
        }
        case Tok::Symbol: {
            const QString name = m_lex.tokenString;
            if ((m_po & ParserOption::ExtendedSyntax) && IsFunctionName(name) && FollowedByLParen())
                return ParseFunction(name.toUpper());
            m_lex.next();
            if (name.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0) {
                return Make(NodeKind::Const); // Null constant
            }
            if (name.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
                name.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
                Node* n = Make(NodeKind::Const);
                n->Type = ExprType::Boolean;
                n->Value = name.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
                return n;
            }
            return FieldNode(name);
        }
        case Tok::End:
            Fail(ExprText::Expected, m_lex.describe());
        default:
            Fail(ExprText::Expected, m_lex.describe());
        }
    }

    const Node* ParseFunction(const QString& name) {
        m_lex.next(); // name
        m_lex.next(); // "("
        Node* n = Make(NodeKind::Func);
        n->Name = name;
        const bool agg = name == QLatin1String("SUM") || name == QLatin1String("MIN") ||
                         name == QLatin1String("MAX") || name == QLatin1String("AVG") ||
                         name == QLatin1String("COUNT");
        if (agg && !(m_po & ParserOption::Aggregate))
            Fail(ExprText::AggInFilter);
        if (agg && name == QLatin1String("COUNT") && m_lex.token == Tok::Mul) {
            m_lex.next();
            if (m_lex.token != Tok::RParen)
                Fail(ExprText::NoRParen, m_lex.describe());
            m_lex.next();
            n->CountStar = true;
        } else if (m_lex.token == Tok::RParen) {
            m_lex.next();
        } else {
            for (;;) {
                n->Args.push_back(ParseOr());
                if (m_lex.token == Tok::Comma) {
                    m_lex.next();
                    continue;
                }
                if (m_lex.token != Tok::RParen)
                    Fail(ExprText::NoRParenOrComma, m_lex.describe());
                m_lex.next();
                break;
            }
        }
        for (const Node* a : n->Args) {
            n->HasAggregate |= a->HasAggregate;
            n->HasField |= a->HasField;
        }
        if (agg)
            return MakeAggregate(n);
        n->Type = FuncResultType(n);
        return n;
    }

    const Node* MakeAggregate(Node* n) {
        const QString& f = n->Name;
        n->Func = f == QLatin1String("SUM")   ? AggFunc::Sum
                  : f == QLatin1String("MIN") ? AggFunc::Min
                  : f == QLatin1String("MAX") ? AggFunc::Max
                  : f == QLatin1String("AVG") ? AggFunc::Avg
                                              : AggFunc::Count;
        if (!n->CountStar) {
            if (n->Args.size() != 1)
                Fail(ExprText::Incorrect);
            const Node* a = n->Args[0];
            if (a->HasAggregate)
                Fail(ExprText::BadScope);
            if (a->Kind == NodeKind::Field && a->Calculated)
                Fail(ExprText::AggOverCalc, a->Name);
            if ((n->Func == AggFunc::Sum || n->Func == AggFunc::Avg) && !IsNumeric(a->Type) &&
                a->Type != ExprType::Null)
                Fail(ExprText::TypeMismatch);
            // A sum of integers stays an integer, so that it is exact and arithmetic on it too.
            n->Type = n->Func == AggFunc::Count                              ? ExprType::Integer
                      : (n->Func == AggFunc::Min || n->Func == AggFunc::Max) ? a->Type
                      : (n->Func == AggFunc::Sum && a->Type == ExprType::Integer)
                          ? ExprType::Integer
                          : ExprType::Float;
        } else {
            n->Type = ExprType::Integer;
        }
        n->IsAgg = true;
        n->HasAggregate = true;
        n->HasField = false;
        n->AggSlot = int(m_e.m_aggNodes.size());
        m_e.m_aggNodes.push_back(n);
        return n;
    }

    static ExprType FuncResultType(const Node* n) {
        const QString& f = n->Name;
        auto arity = [&](size_t lo, size_t hi) {
            if (n->Args.size() < lo || n->Args.size() > hi)
                Fail(ExprText::Incorrect);
        };
        auto argIs = [&](size_t i, auto pred) {
            const ExprType t = n->Args[i]->Type;
            if (t != ExprType::Null && !pred(t))
                Fail(ExprText::TypeMismatch);
        };
        auto isString = [](ExprType t) { return t == ExprType::String; };
        if (f == QLatin1String("UPPER") || f == QLatin1String("LOWER")) {
            arity(1, 1);
            argIs(0, isString);
            return ExprType::String;
        }
        if (f.startsWith(QLatin1String("TRIM"))) {
            arity(1, 2);
            for (size_t i = 0; i < n->Args.size(); ++i)
                argIs(i, isString);
            return ExprType::String;
        }
        if (f == QLatin1String("SUBSTRING")) {
            arity(2, 3);
            argIs(0, isString);
            for (size_t i = 1; i < n->Args.size(); ++i)
                argIs(i, [](ExprType t) { return t == ExprType::Integer; });
            return ExprType::String;
        }
        if (f == QLatin1String("YEAR") || f == QLatin1String("MONTH") || f == QLatin1String("DAY")) {
            arity(1, 1);
            argIs(0, [](ExprType t) { return t == ExprType::Date || t == ExprType::DateTime; });
            return ExprType::Integer;
        }
        if (f == QLatin1String("HOUR") || f == QLatin1String("MINUTE") ||
            f == QLatin1String("SECOND")) {
            arity(1, 1);
            argIs(0, [](ExprType t) { return t == ExprType::Time || t == ExprType::DateTime; });
            return ExprType::Integer;
        }
        if (f == QLatin1String("GETDATE")) {
            arity(0, 0);
            return ExprType::DateTime;
        }
        if (f == QLatin1String("DATE")) {
            arity(1, 1);
            argIs(0, [](ExprType t) { return t == ExprType::Date || t == ExprType::DateTime; });
            return ExprType::Date;
        }
        arity(1, 1); // TIME
        argIs(0, [](ExprType t) { return t == ExprType::Time || t == ExprType::DateTime; });
        return ExprType::Time;
    }

    Expression& m_e;
    const ExprHooks& m_hooks;
    ParserOptions m_po;
    FilterOptions m_fo;
    Lexer m_lex;
    std::vector<int> m_dependent;
};

Expression::~Expression() = default;

std::shared_ptr<const Expression> Expression::Compile(const QString& text, const ExprHooks& hooks,
                                                      ParserOptions parserOptions,
                                                      FilterOptions filterOptions) {
    std::shared_ptr<Expression> e(new Expression);
    e->m_text = text;
    e->m_filterOptions = filterOptions;
    Parser(*e, hooks, parserOptions, filterOptions).Run();
    return e;
}

ExprType Expression::ResultType() const { return m_root ? m_root->Type : ExprType::Null; }

QVariant Expression::Evaluate(const ExprRow& row) const { return Eval(m_root, &row, nullptr); }

bool Expression::Matches(const ExprRow& row) const {
    const QVariant v = Eval(m_root, &row, nullptr);
    return v.isValid() && !v.isNull() && v.toBool();
}

AggregateState Expression::NewAggregateState() const {
    AggregateState s;
    s.m_expr = this;
    s.m_acc.resize(m_aggNodes.size());
    for (size_t i = 0; i < m_aggNodes.size(); ++i)
        s.m_acc[i].Func = m_aggNodes[i]->Func;
    return s;
}

std::optional<Expression::Simple> Expression::SimpleAggregate() const {
    if (!m_root || !m_root->IsAgg)
        return std::nullopt;
    if (m_root->CountStar)
        return Simple{AggFunc::Count, -1};
    if (m_root->Args.size() == 1 && m_root->Args[0]->Kind == NodeKind::Field)
        return Simple{m_root->Func, m_root->Args[0]->Field};
    return std::nullopt;
}

void AggregateState::Add(const ExprRow& row) {
    for (size_t i = 0; i < m_acc.size(); ++i) {
        const Expression::Node* n = m_expr->m_aggNodes[i];
        Acc& a = m_acc[i];
        if (n->CountStar) {
            ++a.Count;
            continue;
        }
        const QVariant v = m_expr->Eval(n->Args[0], &row, nullptr);
        if (!v.isValid() || v.isNull())
            continue;
        ++a.Count;
        switch (a.Func) {
        case AggFunc::Sum:
        case AggFunc::Avg: a.AddNumber(v); break;
        case AggFunc::Min:
        case AggFunc::Max: {
            if (!a.Best.isValid()) {
                a.Best = v;
                break;
            }
            const int c = CompareKeys(KeyFromVariant(v), KeyFromVariant(a.Best));
            if ((a.Func == AggFunc::Min && c < 0) || (a.Func == AggFunc::Max && c > 0))
                a.Best = v;
            break;
        }
        case AggFunc::Count: break;
        }
    }
}

void AggregateState::Acc::AddNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Bool: {
        const qint64 x = v.toLongLong();
        qint64 r = 0;
        if (!__builtin_add_overflow(ISum, x, &r)) {
            ISum = r;
            return;
        }
        // Past the 64-bit range the total goes on in double rather than wrapping round.
        Sum += double(ISum) + double(x);
        ISum = 0;
        AllInt = false;
        return;
    }
    default:
        Sum += v.toDouble();
        AllInt = false;
    }
}

QVariant AggregateState::Result() const {
    return m_expr ? m_expr->Eval(m_expr->m_root, nullptr, this) : QVariant();
}

namespace {

bool IsNullV(const QVariant& v) { return !v.isValid() || v.isNull(); }

QVariant Arith(Op op, const QVariant& a, const QVariant& b, ExprType type) {
    if (IsNullV(a) || IsNullV(b))
        return {};
    if (type == ExprType::String)
        return a.toString() + b.toString();
    const bool ta = a.typeId() == QMetaType::QDate || a.typeId() == QMetaType::QDateTime ||
                    a.typeId() == QMetaType::QTime;
    const bool tb = b.typeId() == QMetaType::QDate || b.typeId() == QMetaType::QDateTime ||
                    b.typeId() == QMetaType::QTime;
    if (ta && tb) { // difference in days
        const QDateTime x = a.typeId() == QMetaType::QDate ? QDateTime(a.toDate(), QTime(0, 0))
                                                           : a.toDateTime();
        const QDateTime y = b.typeId() == QMetaType::QDate ? QDateTime(b.toDate(), QTime(0, 0))
                                                           : b.toDateTime();
        return double(y.msecsTo(x)) / 86400000.0;
    }
    if (ta || tb) {
        const QVariant& d = ta ? a : b;
        double days = (ta ? b : a).toDouble();
        if (op == Op::Sub)
            days = -days;
        if (d.typeId() == QMetaType::QDate)
            return d.toDate().addDays(qint64(std::floor(days)));
        return d.toDateTime().addMSecs(qint64(std::llround(days * 86400000.0)));
    }
    // An integer sum past 64 bits arrives as a double and stays one.
    if (type == ExprType::Integer && a.typeId() != QMetaType::Double &&
        b.typeId() != QMetaType::Double) {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        qint64 r = 0;
        bool overflow = false;
        switch (op) {
        case Op::Add: overflow = __builtin_add_overflow(x, y, &r); break;
        case Op::Sub: overflow = __builtin_sub_overflow(x, y, &r); break;
        case Op::Mul: overflow = __builtin_mul_overflow(x, y, &r); break;
        default: break;
        }
        if (!overflow)
            return r;
    }
    const double x = a.toDouble(), y = b.toDouble();
    switch (op) {
    case Op::Add: return x + y;
    case Op::Sub: return x - y;
    case Op::Mul: return x * y;
    case Op::Div:
        if (y == 0)
            return {}; // no value rather than a crash or infinity
        return x / y;
    default: return {};
    }
}

} // namespace

QVariant Expression::Eval(const Node* n, const ExprRow* row, const AggregateState* agg) const {
    const bool ci = m_filterOptions & FilterOption::CaseInsensitive;
    switch (n->Kind) {
    case NodeKind::Const: return n->Value;
    case NodeKind::Field: return row ? row->Value(n->Field) : QVariant();
    case NodeKind::Unary: {
        const QVariant v = Eval(n->Left, row, agg);
        if (n->Oper == Op::IsNull)
            return IsNullV(v);
        if (n->Oper == Op::IsNotNull)
            return !IsNullV(v);
        if (IsNullV(v))
            return {};
        return !v.toBool();
    }
    case NodeKind::Binary: {
        if (n->Oper == Op::And || n->Oper == Op::Or) {
            const QVariant l = Eval(n->Left, row, agg);
            const bool isAnd = n->Oper == Op::And;
            if (!IsNullV(l) && l.toBool() != isAnd)
                return !isAnd;
            const QVariant r = Eval(n->Right, row, agg);
            if (!IsNullV(r) && r.toBool() != isAnd)
                return !isAnd;
            if (IsNullV(l) || IsNullV(r))
                return {};
            return isAnd;
        }
        const QVariant l = Eval(n->Left, row, agg);
        if (n->Oper == Op::In) {
            if (IsNullV(l))
                return {};
            const KeyValue kl = KeyFromVariant(l);
            for (const Node* item : n->Args) {
                const QVariant v = Eval(item, row, agg);
                if (!IsNullV(v) && CompareKeys(kl, KeyFromVariant(v), ci) == 0)
                    return true;
            }
            return false;
        }
        const QVariant r = Eval(n->Right, row, agg);
        switch (n->Oper) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div: return Arith(n->Oper, l, r, n->Type);
        default: break;
        }
        if (IsNullV(l) || IsNullV(r))
            return {};
        if (n->Oper == Op::Like)
            return LikeMatch(l.toString(), r.toString(), ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
        int c;
        if ((n->Oper == Op::Eq || n->Oper == Op::Ne) &&
            ((n->Right->Kind == NodeKind::Const && n->Right->PartialCompare) ||
             (n->Left->Kind == NodeKind::Const && n->Left->PartialCompare))) {
            const bool rightPattern = n->Right->Kind == NodeKind::Const && n->Right->PartialCompare;
            const QString value = (rightPattern ? l : r).toString();
            const QString pattern = (rightPattern ? r : l).toString().chopped(1);
            c = value.startsWith(pattern, ci ? Qt::CaseInsensitive : Qt::CaseSensitive) ? 0 : 1;
        } else {
            c = CompareKeys(KeyFromVariant(l), KeyFromVariant(r), ci);
        }
        switch (n->Oper) {
        case Op::Eq: return c == 0;
        case Op::Ne: return c != 0;
        case Op::Lt: return c < 0;
        case Op::Gt: return c > 0;
        case Op::Le: return c <= 0;
        case Op::Ge: return c >= 0;
        default: return {};
        }
    }
    case NodeKind::Func: {
        if (n->IsAgg) {
            if (!agg)
                return {};
            const AggregateState::Acc& a = agg->m_acc[size_t(n->AggSlot)];
            switch (a.Func) {
            case AggFunc::Count: return a.Count;
            case AggFunc::Sum:
                if (!a.Count)
                    return {};
                return a.AllInt ? QVariant(a.ISum) : QVariant(a.Sum + double(a.ISum));
            case AggFunc::Avg:
                return a.Count ? QVariant((a.Sum + double(a.ISum)) / double(a.Count)) : QVariant();
            case AggFunc::Min:
            case AggFunc::Max: return a.Best;
            }
            return {};
        }
        const QString& f = n->Name;
        if (f == QLatin1String("GETDATE"))
            return QDateTime::currentDateTime();
        std::vector<QVariant> args;
        args.reserve(n->Args.size());
        for (const Node* a : n->Args) {
            args.push_back(Eval(a, row, agg));
            if (IsNullV(args.back()))
                return {};
        }
        if (f == QLatin1String("UPPER"))
            return args[0].toString().toUpper();
        if (f == QLatin1String("LOWER"))
            return args[0].toString().toLower();
        if (f.startsWith(QLatin1String("TRIM"))) {
            const QString s = args[0].toString();
            const QString chars = args.size() > 1 ? args[1].toString() : QStringLiteral(" ");
            qsizetype b = 0, e = s.size();
            if (f != QLatin1String("TRIMRIGHT"))
                while (b < e && chars.contains(s[b]))
                    ++b;
            if (f != QLatin1String("TRIMLEFT"))
                while (e > b && chars.contains(s[e - 1]))
                    --e;
            return s.mid(b, e - b);
        }
        if (f == QLatin1String("SUBSTRING")) {
            const QString s = args[0].toString();
            const qint64 start = std::max<qint64>(1, args[1].toLongLong());
            const qint64 len = args.size() > 2 ? std::max<qint64>(0, args[2].toLongLong())
                                               : std::numeric_limits<int>::max();
            if (start > s.size())
                return QString();
            return s.mid(qsizetype(start - 1), qsizetype(std::min<qint64>(len, s.size())));
        }
        const QVariant& v = args[0];
        const QDateTime dt = v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0))
                             : v.typeId() == QMetaType::QTime
                                 ? QDateTime(QDate(1899, 12, 30), v.toTime())
                                 : v.toDateTime();
        if (f == QLatin1String("YEAR"))
            return qint64(dt.date().year());
        if (f == QLatin1String("MONTH"))
            return qint64(dt.date().month());
        if (f == QLatin1String("DAY"))
            return qint64(dt.date().day());
        if (f == QLatin1String("HOUR"))
            return qint64(dt.time().hour());
        if (f == QLatin1String("MINUTE"))
            return qint64(dt.time().minute());
        if (f == QLatin1String("SECOND"))
            return qint64(dt.time().second());
        if (f == QLatin1String("DATE"))
            return dt.date();
        if (f == QLatin1String("TIME"))
            return dt.time();
        return {};
    }
    }
    return {};
}

} // namespace Cds
