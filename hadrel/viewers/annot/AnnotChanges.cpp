#include "AnnotChanges.h"

#include <UDM1.h>

#include <QXmlStreamReader>

bool CheckPageChanged(const TPageList& pages, const QList<TPageData*>& deletedPages) {
    for (const TPageData* d : deletedPages)
        if (d && d->FromIndex >= 0)
            return true;
    for (int i = 0; i < pages.ImageCount(); ++i) {
        const TPageData* d = pages.UserData(i);
        if (!d)
            continue;
        // A page never loaded is unchanged, but it may have moved (a page before it deleted).
        if (!d->Loadet) {
            if (d->FromIndex >= 0 && d->FromIndex != i)
                return true;
            continue;
        }
        if (d->FromIndex != i || d->CurImage != d->OldImage)
            return true;
    }
    return false;
}

bool CheckAnnotChanged(const TPageList& pages, const QList<TPageData*>& deletedPages) {
    for (const TPageData* d : deletedPages)
        if (d && d->FromIndex >= 0 && !d->OldAnnot.isEmpty())
            return true;
    for (int i = 0; i < pages.ImageCount(); ++i) {
        const TPageData* d = pages.UserData(i);
        if (d && d->Loadet && d->CurAnnotX != d->OldAnnot)
            return true;
    }
    return false;
}

QStringList StampNames(const QByteArray& annotations) {
    QStringList names;
    if (annotations.isEmpty())
        return names;
    QXmlStreamReader r(annotations);
    int depth = 0;
    // Reading stops at a fault: what came before it is what another program's page holds.
    while (!r.atEnd() && !r.hasError()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 1 && r.name().compare(u"image", Qt::CaseInsensitive) == 0) {
                const QString name =
                    r.attributes().value(QLatin1StringView("image_name")).toString();
                if (!name.isEmpty())
                    names.append(name);
            }
            ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return names;
}

void ListChangedAnnot(const TPageList& pages, const QList<TPageData*>& deletedPages,
                      QStringList& added, QStringList& removed, bool ignoreDuplicates) {
    added.clear();
    removed.clear();
    auto collect = [ignoreDuplicates](const QByteArray& stream, int page, QStringList& into) {
        for (const QString& name : StampNames(stream)) {
            if (ignoreDuplicates) {
                if (!into.contains(name))
                    into.append(name);
            } else {
                into.append(QStringLiteral("%1:%2").arg(page).arg(name));
            }
        }
    };
    for (const TPageData* d : deletedPages)
        if (d && d->FromIndex >= 0)
            collect(d->OldAnnot, d->FromIndex, removed);
    for (int i = 0; i < pages.ImageCount(); ++i) {
        const TPageData* d = pages.UserData(i);
        if (!d || !d->Loadet)
            continue;
        if (d->FromIndex >= 0)
            collect(d->OldAnnot, d->FromIndex, removed);
        collect(d->CurAnnotX, d->FromIndex, added);
    }
    // A stamp both before and now is neither placed nor removed: pair them off.
    std::vector<bool> pairedAdded(size_t(added.size()), false),
        pairedRemoved(size_t(removed.size()), false);
    for (qsizetype r = 0; r < removed.size(); ++r)
        for (qsizetype a = 0; a < added.size(); ++a)
            if (!pairedAdded[size_t(a)] && added.at(a) == removed.at(r)) {
                pairedAdded[size_t(a)] = pairedRemoved[size_t(r)] = true;
                break;
            }
    auto keep = [ignoreDuplicates](const QStringList& list, const std::vector<bool>& paired) {
        QStringList out;
        for (qsizetype i = 0; i < list.size(); ++i)
            if (!paired[size_t(i)])
                out.append(ignoreDuplicates ? list.at(i)
                                            : list.at(i).mid(list.at(i).indexOf(u':') + 1));
        return out;
    };
    added = keep(added, pairedAdded);
    removed = keep(removed, pairedRemoved);
}
