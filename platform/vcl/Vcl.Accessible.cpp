#include "Vcl.Accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QTextDocument>

namespace Vcl {

namespace {

constexpr const char* kContentLabel = "korvexContentLabel";

QString PlainText(const QString& text) {
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText();
}

class TContentLabelAccessible final : public QAccessibleWidget {
public:
    explicit TContentLabelAccessible(QLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        auto* label = static_cast<QLabel*>(widget());
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        QString shown = label->text();
        if (label->textFormat() == Qt::RichText) {
            QTextDocument doc;
            doc.setHtml(shown);
            shown = doc.toPlainText();
        } else if (label->textFormat() == Qt::AutoText) {
            shown = PlainText(shown);
        }
        shown = shown.simplified();
        const QString caption = label->accessibleName();
        if (caption.isEmpty())
            return shown;
        return shown.isEmpty() ? caption : caption + QStringLiteral(": ") + shown;
    }
};

QAccessibleInterface* ContentLabelFactory(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (!label || !label->property(kContentLabel).toBool())
        return nullptr;
    return new TContentLabelAccessible(label);
}

} // namespace

void SetContentCaption(QLabel* label, const QString& caption) {
    static const bool installed = [] {
        QAccessible::installFactory(&ContentLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    if (!label)
        return;
    label->setProperty(kContentLabel, true);
    label->setAccessibleName(caption);
}

void SetMessageDescription(QWidget* window, const QString& text) {
    // Read as shown: message windows show their text as it is written, markup included.
    if (window)
        window->setAccessibleDescription(text.simplified());
}

} // namespace Vcl
