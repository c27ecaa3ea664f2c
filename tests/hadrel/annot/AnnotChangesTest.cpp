// Change detection over the page list: pages moved, deleted, never loaded; stamps placed, removed,
// moved and doubled.
#include "AnnotChanges.h"

#include <gtest/gtest.h>

namespace {

QByteArray Stamps(const QStringList& names) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<annotation>\r\n";
    for (const QString& n : names)
        xml += "  <image image_name=\"" + n.toUtf8() + "\">AA==</image>\r\n  <dot/>\r\n";
    return xml + "</annotation>\r\n";
}

class AnnotChangesTest : public ::testing::Test {
protected:
    // A stored page as loaded: old and current the same.
    TPageData* Page(int fromIndex, const QByteArray& annot = {}, bool loaded = true) {
        const int i = pages.AppendImage();
        auto* d = new TPageData(&pages, fromIndex);
        pages.SetUserData(i, d);
        if (loaded) {
            d->Loadet = true;
            d->OldImage = d->CurImage = "TIFF" + QByteArray::number(fromIndex);
            d->OldAnnot = d->CurAnnot = d->CurAnnotX = annot;
        }
        return d;
    }
    void Delete(int index) {
        deleted.append(pages.UserData(index));
        pages.DeleteImage(index);
    }
    void Swap() { // the first two pages change places
        TPageData* a = pages.UserData(0);
        pages.SetUserData(0, pages.UserData(1));
        pages.SetUserData(1, a);
    }
    QStringList Added(bool ignore) {
        QStringList a, r;
        ListChangedAnnot(pages, deleted, a, r, ignore);
        return a;
    }
    QStringList Removed(bool ignore) {
        QStringList a, r;
        ListChangedAnnot(pages, deleted, a, r, ignore);
        return r;
    }

    TPageList pages;
    QList<TPageData*> deleted;
};

} // namespace

TEST_F(AnnotChangesTest, ReorderedPagesChangeThePagesButNotTheAnnotations) {
    Page(0, Stamps({QStringLiteral("A")}));
    Page(1);
    EXPECT_FALSE(CheckPageChanged(pages, deleted));
    Swap();
    EXPECT_TRUE(CheckPageChanged(pages, deleted));
    EXPECT_FALSE(CheckAnnotChanged(pages, deleted));
    EXPECT_TRUE(Added(false).isEmpty());
    EXPECT_TRUE(Removed(false).isEmpty());
}

TEST_F(AnnotChangesTest, PagesNeverLoadedAndNewPages) {
    Page(0);
    Page(1, {}, false);
    Page(2, {}, false);
    EXPECT_FALSE(CheckPageChanged(pages, deleted));
    EXPECT_FALSE(CheckAnnotChanged(pages, deleted));
    pages.UserData(0)->CurImage = "rotated";
    EXPECT_TRUE(CheckPageChanged(pages, deleted));
    pages.UserData(0)->CurImage = pages.UserData(0)->OldImage;
    TPageData* added = Page(-1, Stamps({QStringLiteral("Neu")}));
    added->OldAnnot.clear();
    added->OldImage.clear();
    EXPECT_TRUE(CheckPageChanged(pages, deleted));
    EXPECT_TRUE(CheckAnnotChanged(pages, deleted));
    EXPECT_EQ(Added(false), QStringList{QStringLiteral("Neu")});
}

TEST_F(AnnotChangesTest, DeletingAStoredAnnotatedPageChangesBoth) {
    Page(0);
    Page(1, Stamps({QStringLiteral("Geprüft")}), false); // deleted without ever being shown
    pages.UserData(1)->OldAnnot = Stamps({QStringLiteral("Geprüft")});
    Delete(1);
    EXPECT_TRUE(CheckPageChanged(pages, deleted));
    EXPECT_TRUE(CheckAnnotChanged(pages, deleted));
    EXPECT_EQ(Removed(false), QStringList{QStringLiteral("Geprüft")});
    EXPECT_EQ(Removed(true), QStringList{QStringLiteral("Geprüft")});

    // A deleted page that was never stored changes nothing.
    deleted.clear();
    TPageData* scanned = Page(-1);
    Delete(pages.ImageCount() - 1);
    EXPECT_EQ(deleted.constLast(), scanned);
    EXPECT_FALSE(CheckPageChanged(pages, deleted));
    EXPECT_FALSE(CheckAnnotChanged(pages, deleted));
}

TEST_F(AnnotChangesTest, TheSameStampTwiceWithOneRemoved) {
    TPageData* p = Page(0, Stamps({QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("B")}));
    p->CurAnnotX = Stamps({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_TRUE(CheckAnnotChanged(pages, deleted));
    EXPECT_EQ(Removed(false), QStringList{QStringLiteral("A")});
    EXPECT_TRUE(Added(false).isEmpty());
    EXPECT_TRUE(Removed(true).isEmpty()); // the name is still there
    EXPECT_TRUE(Added(true).isEmpty());
}

TEST_F(AnnotChangesTest, AStampMovedToAnotherPage) {
    TPageData* first = Page(0, Stamps({QStringLiteral("A")}));
    TPageData* second = Page(1);
    first->CurAnnotX.clear();
    second->CurAnnotX = Stamps({QStringLiteral("A")});
    EXPECT_EQ(Added(false), QStringList{QStringLiteral("A")});
    EXPECT_EQ(Removed(false), QStringList{QStringLiteral("A")});
    EXPECT_TRUE(Added(true).isEmpty());
    EXPECT_TRUE(Removed(true).isEmpty());
}

// Another program's page whose annotation data is no well-formed XML (text after the root, or
// cut short) never stops the listing: kept as it was it lists nothing, replaced it gives up the
// stamps read before the fault, and the other pages count as ever.
TEST_F(AnnotChangesTest, AnUnreadablePageNeverStopsTheListing) {
    const QByteArray trailing = Stamps({QStringLiteral("Geprüft")}) + "von Hand ergänzt";
    const QByteArray cut = "<annotation><image image_name=\"A\">";
    Page(0, trailing);
    Page(1, cut);
    TPageData* other = Page(2);
    other->CurAnnotX = Stamps({QStringLiteral("Neu")});
    EXPECT_EQ(Added(false), QStringList{QStringLiteral("Neu")});
    EXPECT_TRUE(Removed(false).isEmpty());
    EXPECT_EQ(Added(true), QStringList{QStringLiteral("Neu")});
    EXPECT_TRUE(Removed(true).isEmpty());

    pages.UserData(0)->CurAnnotX.clear();
    EXPECT_EQ(Removed(false), QStringList{QStringLiteral("Geprüft")});
    Delete(1);
    EXPECT_EQ(Removed(false), (QStringList{QStringLiteral("A"), QStringLiteral("Geprüft")}));
    EXPECT_EQ(StampNames(Stamps({QStringLiteral("X"), QString()})),
              QStringList{QStringLiteral("X")});
}
