#include "UImpDoku.DocumentCheck.h"

#include <QFileInfo>

TDocumentCheckSteps::TDocumentCheckSteps(QString caption, QString question, QString fileName,
                                         QDateTime recorded)
    : m_caption(std::move(caption)), m_question(std::move(question)),
      m_fileName(std::move(fileName)), m_recorded(std::move(recorded)) {
    m_view.caption = m_caption;
    m_view.message = withName(m_question);
}

QString TDocumentCheckSteps::withName(const QString& text) const {
    return text + QStringLiteral("\n\n") + QFileInfo(m_fileName).fileName();
}

void TDocumentCheckSteps::Tick(const std::function<TDocumentCheckFacts()>& probe) {
    const auto counting = [this](const char* phase, int seconds) {
        m_view.caption = QStringLiteral("%1  (%2 %3 sec)")
                             .arg(m_caption, QLatin1String(phase), QString::number(seconds));
    };
    for (;;) {
        const TDocumentCheckFacts f = probe();
        const bool changed = f.exists && f.lastWrite != m_recorded;
        bool waits = true;
        const int s = m_step;
        if (s >= 1 && s <= 9) {
            counting("start", 10 - s);
            m_view.yesEnabled = changed;
            ++m_step;
        } else if (s >= 10 && s <= 29) {
            counting("check", 30 - s);
            m_view.yesEnabled = changed;
            m_step = f.inUse ? 100 : s == 29 ? 300 : s + 1;
        } else if (s >= 100 && s <= 109) {
            counting("wait", 110 - s);
            m_view.yesEnabled = changed;
            ++m_step;
        } else if (s == 110) {
            m_step = f.inUse ? 200 : 300;
            waits = false;
        } else if (s == 200) {
            m_view.caption = m_caption;
            m_view.message = withName(m_question);
            m_view.yesEnabled = changed;
            m_view.abortEnabled = true;
            m_step = 201;
            waits = false;
        } else if (s == 201) {
            if (!f.inUse)
                m_step = 300;
        } else if (s == 300) {
            m_view.caption = m_caption;
            m_step = 301;
            waits = false;
        } else {
            if (!f.exists) {
                m_view.message = withName(ChangedText() + QStringLiteral("\n\n") + DeletedText());
                m_view.yesEnabled = false;
                m_view.abortEnabled = false;
            } else if (!changed) {
                m_view.message = withName(UnchangedText());
                m_view.yesEnabled = false;
                m_view.abortEnabled = true;
            } else {
                m_view.message = withName(ChangedText());
                m_view.yesEnabled = f.readable;
                m_view.abortEnabled = true;
            }
            m_step = s < 331 ? s + 1 : f.inUse ? 200 : 301;
        }
        if (waits)
            return;
    }
}

TDocumentCheckRowState DocumentCheckRowState(const QString& recordedText,
                                             const QString& currentText) {
    if (currentText.isEmpty())
        return TDocumentCheckRowState::Missing;
    return currentText == recordedText ? TDocumentCheckRowState::Unchanged
                                       : TDocumentCheckRowState::Changed;
}

QString DocumentCheckHint(const QString& timeText, const QString& fileName) {
    return timeText + u'|' + fileName;
}

TDocumentCheckHint SplitDocumentCheckHint(const QString& hint) {
    // The time text has no bar; a file name may have some.
    const qsizetype bar = hint.indexOf(u'|');
    if (bar < 0)
        return {hint, {}};
    return {hint.left(bar), hint.mid(bar + 1)};
}
