#pragma once
// Page control and its pages. A page belongs to a control through its PageControl property; the
// control keeps its pages in page order, which is the order they were given to it.

#include <QList>
#include <QPointer>
#include <QTabWidget>

class TcxPageControl;

class TcxTabSheet : public QWidget {
    Q_OBJECT
    Q_PROPERTY(TcxPageControl* PageControl READ PageControl WRITE SetPageControl)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
public:
    Q_INVOKABLE explicit TcxTabSheet(QWidget* parent = nullptr);
    ~TcxTabSheet() override;

    TcxPageControl* PageControl() const { return m_pageControl; }
    void SetPageControl(TcxPageControl* control);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    qint64 Tag() const { return m_tag; }
    void SetTag(qint64 tag) { m_tag = tag; }

private:
    QPointer<TcxPageControl> m_pageControl;
    QString m_caption;
    qint64 m_tag = 0;
};

class TcxPageControl : public QTabWidget {
    Q_OBJECT
    Q_PROPERTY(TcxTabSheet* ActivePage READ ActivePage WRITE SetActivePage)
public:
    Q_INVOKABLE explicit TcxPageControl(QWidget* parent = nullptr);

    int PageCount() const { return int(m_pages.size()); }
    TcxTabSheet* Pages(int index) const { return m_pages.value(index); }
    TcxTabSheet* ActivePage() const;
    void SetActivePage(TcxTabSheet* page);

private:
    friend class TcxTabSheet;
    void InsertPage(TcxTabSheet* page);
    void RemovePage(TcxTabSheet* page);

    QList<TcxTabSheet*> m_pages;
};
