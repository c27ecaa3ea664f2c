#include "cxPC.h"

TcxTabSheet::TcxTabSheet(QWidget* parent) : QWidget(parent) {}

TcxTabSheet::~TcxTabSheet() {
    if (m_pageControl)
        m_pageControl->RemovePage(this);
}

void TcxTabSheet::SetPageControl(TcxPageControl* control) {
    if (control == m_pageControl)
        return;
    if (m_pageControl)
        m_pageControl->RemovePage(this);
    m_pageControl = control;
    if (control)
        control->InsertPage(this);
}

void TcxTabSheet::SetCaption(const QString& caption) {
    m_caption = caption;
    if (m_pageControl) {
        const int i = m_pageControl->indexOf(this);
        if (i >= 0)
            m_pageControl->setTabText(i, caption);
    }
}

TcxPageControl::TcxPageControl(QWidget* parent) : QTabWidget(parent) {}

TcxTabSheet* TcxPageControl::ActivePage() const {
    return qobject_cast<TcxTabSheet*>(currentWidget());
}

void TcxPageControl::SetActivePage(TcxTabSheet* page) {
    if (page && m_pages.contains(page))
        setCurrentWidget(page);
}

void TcxPageControl::InsertPage(TcxTabSheet* page) {
    m_pages.append(page);
    addTab(page, page->Caption());
}

void TcxPageControl::RemovePage(TcxTabSheet* page) {
    m_pages.removeAll(page);
    const int i = indexOf(page);
    if (i >= 0)
        removeTab(i);
}
