#pragma once
// What changed on a document's pages since they were loaded or saved: page images and order, the
// stored annotation data, and the stamps placed and removed. Functions over the viewer's page
// list and its deleted pages.

#include <UFileViewerTIFF.Pages.h>

#include <QList>
#include <QStringList>

// A stored page was deleted, or a page moved, or a loaded page's image bytes differ. Pages never
// loaded count as unchanged where they stand; a page added since the last save counts as changed.
bool CheckPageChanged(const TPageList& pages, const QList<TPageData*>& deletedPages);
// A stored page with annotations was deleted, or a loaded page's stored form of its annotations
// differs from what was stored. The page's position does not count.
bool CheckAnnotChanged(const TPageList& pages, const QList<TPageData*>& deletedPages);
// The stamps (image annotations by name) placed and removed since the last save. Ignoring
// duplicates: distinct names over the whole document; otherwise one entry per occurrence and page.
// A page whose annotation data is no well-formed XML counts with the stamps read before the fault:
// kept as it was, it lists nothing, and it never stops the listing of the other pages.
void ListChangedAnnot(const TPageList& pages, const QList<TPageData*>& deletedPages,
                      QStringList& added, QStringList& removed, bool ignoreDuplicates);
// The "image_name" of every image annotation of one page's XML, in order (empty names skipped);
// of data that is no well-formed XML, those before the fault.
QStringList StampNames(const QByteArray& annotations);
