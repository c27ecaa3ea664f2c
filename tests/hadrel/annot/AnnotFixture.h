#pragma once
// A page canvas with its annotation layer, a fixed user and clock, and the messages it showed.

#include "AnnotLayer.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace annottest {

// 2024-01-01 00:00, day 45292 of the date form: 65220480 minutes.
inline QDateTime FixedNow() {
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0));
}
inline constexpr qint64 FixedMinutes = 65220480;

class AnnotTest : public ::testing::Test {
protected:
    AnnotTest() {
        layer.Env.UserName = [this] { return user; };
        layer.Env.Now = [this] { return now; };
        layer.Env.RemoteFileName = QStringLiteral("dms/4711.tiff");
        layer.Env.ShowException = [this](const QString& m) { shown << m; };
        layer.Env.RaiseError = [this](const QString& m) { raised << m; };
        layer.Env.StampRight = [this](const QString& type, const QString& a, const QString& b,
                                      qint64 id, int action, bool raise) {
            rightsAsked << QStringLiteral("%1|%2|%3|%4|%5|%6")
                               .arg(type, a, b)
                               .arg(id)
                               .arg(action)
                               .arg(raise);
            return stampAllowed;
        };
        canvas.SetBitmap(QImage(1000, 800, QImage::Format_RGB32));
    }

    QByteArray Save() {
        QByteArray full, x;
        layer.SaveAnnotations(full, x);
        return full;
    }
    QByteArray SaveX() {
        QByteArray full, x;
        layer.SaveAnnotations(full, x);
        return x;
    }
    int Handle(int index) const { return canvas.GetObjFromIndex(index); }
    const Imaging::TIEVObject& Obj(int index) const { return canvas.ObjAt(index); }
    TAnnotData& Data(int index) { return layer.AnnotData(Handle(index)); }

    Imaging::TIEVectModel canvas;
    TAnnotLayer layer{canvas};
    QString user = QStringLiteral("meier");
    QDateTime now = FixedNow();
    QStringList shown, raised, rightsAsked;
    bool stampAllowed = true;
};

} // namespace annottest
