#pragma once
// A question form whose buttons the caller keeps in hand while it shows: RaiseQuestionBtn asks and
// waits, this form is made first, may be changed while it is up (caption, message, which buttons
// are enabled), and can tick a handler once per interval meanwhile. The document window's wait
// dialog watches a working copy that way.
//
// Buttons come as RaiseQuestionBtn takes them, "Yes=xtt17971|No=xtt17972|Abort": a standard name
// (Yes, No, OK, Cancel, Close, Abort, Retry, Ignore, Help), optionally with its own caption
// ("xtt" markers are read from the text table). Options in the same list: "Mode=Hide" (made
// without showing; the default here) and "OnTop=True" (stays on top). Each button is named after
// its standard name, the message label "Message"; a button sets its modal result (mrYes, mrNo,
// ...); closing the form leaves mrNone.

#include "Vcl.Forms.h"

#include <QString>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

class TVoskQuestionForm : public Vcl::TForm {
    Q_OBJECT
public:
    TVoskQuestionForm(QObject* owner, const QString& text, const QString& buttons,
                      int defaultIndex = 0, Vcl::TMsgDlgType kind = Vcl::mtConfirmation,
                      const QString& key = {});

    QPushButton* Button(const QString& name) const;
    QLabel* Message() const { return m_message; }
    void SetMessage(const QString& text);
    // The key the question is remembered under ("Dokumente_sperren").
    QString Key() const { return m_key; }
    bool StaysOnTop() const { return m_onTop; }

    // Runs onTick every intervalMs while the form is shown, first right after it is shown.
    void SetTicker(int intervalMs, std::function<void()> onTick);
    // One tick as the timer runs it (tests drive the form without waiting).
    void Tick();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    QLabel* m_message;
    QTimer* m_timer;
    std::function<void()> m_onTick;
    QString m_key;
    bool m_onTop = false;
};
