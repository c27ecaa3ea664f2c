#include "DMSys.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

namespace {

// The pictures are drawn, not loaded: the forms need them told apart, not pretty.
QIcon DrawIcon(int index, bool hot) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = hot ? QColor(0, 90, 200) : QColor(60, 60, 60);
    p.setPen(QPen(ink, 2));
    switch (index) {
    case TDMSys::ImageClose:
        p.drawLine(3, 3, 12, 12);
        p.drawLine(12, 3, 3, 12);
        break;
    case TDMSys::ImageOk:
        p.drawLine(2, 8, 6, 12);
        p.drawLine(6, 12, 13, 3);
        break;
    case TDMSys::ImageMinimize:
        p.drawLine(3, 12, 12, 12);
        break;
    default: {
        p.setPen(ink);
        QFont f = p.font();
        f.setPixelSize(7);
        p.setFont(f);
        p.drawRect(0, 0, 15, 15);
        p.drawText(pm.rect(), Qt::AlignCenter, QString::number(index));
    }
    }
    return QIcon(pm);
}

} // namespace

TDMSys::TDMSys()
    : m_imageList(new TImageList(this, ImageCount)), m_imageListHot(new TImageList(this, ImageCount)) {
    setObjectName(QStringLiteral("DMSys"));
    for (int i = 0; i < ImageCount; ++i) {
        m_imageList->SetIcon(i, DrawIcon(i, false));
        m_imageListHot->SetIcon(i, DrawIcon(i, true));
    }
}

namespace {
QPointer<TDMSys> instance;
}

TDMSys* TDMSys::Current() { return instance.data(); }

TDMSys* TDMSys::ModulInitialize(QObject* owner) {
    instance = new TDMSys;
    instance->setParent(owner);
    return instance;
}

TDMSys* TDMSys::Instance() {
    if (!instance) {
        instance = new TDMSys;
        if (auto* app = QCoreApplication::instance())
            instance->setParent(app);
    }
    return instance;
}
