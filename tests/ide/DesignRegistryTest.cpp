// Which editor the designer picks for a property, and the editor bases' conversions.
#include "DesignEditors.h"
#include "DesignIntf.h"

#include "Vcl.Components.h"
#include "VoskExceptions.h"

#include <gtest/gtest.h>

using namespace DesignIntf;

namespace {

class TBase : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Tag READ tag WRITE setTag)
    Q_PROPERTY(int TextNr READ tag WRITE setTag)
    Q_PROPERTY(QString Hint READ hint WRITE setHint)
    Q_PROPERTY(QObject* Link READ link WRITE setLink)
public:
    using QObject::QObject;
    int tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    QString hint() const { return m_hint; }
    void setHint(const QString& h) { m_hint = h; }
    QObject* link() const { return m_link; }
    void setLink(QObject* l) { m_link = l; }

private:
    int m_tag = 0;
    QString m_hint;
    QObject* m_link = nullptr;
};

class TDerived final : public TBase {
    Q_OBJECT
public:
    using TBase::TBase;
};

struct Marked : TIntegerProperty {
    using TIntegerProperty::TIntegerProperty;
    QString GetValue() override { return QStringLiteral("marked"); }
};
struct Other : TIntegerProperty {
    using TIntegerProperty::TIntegerProperty;
    QString GetValue() override { return QStringLiteral("other"); }
};

class DesignRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { SetRegisteringModule(QStringLiteral("test")); }
    void TearDown() override {
        PurgeModule(QStringLiteral("test"));
        SetRegisteringModule({});
    }
    QString ValueOf(QObject* c, const char* name) {
        const QMetaProperty p = c->metaObject()->property(c->metaObject()->indexOfProperty(name));
        auto e = GetPropertyEditor(nullptr, {c}, p);
        return e ? e->GetValue() : QStringLiteral("(hidden)");
    }
};

TEST_F(DesignRegistryTest, NameBeatsClassDeeperClassBeatsShallowerLaterWinsTies) {
    TDerived d;
    const QMetaType intType = QMetaType::fromType<int>();
    RegisterPropertyEditor(intType, &TDerived::staticMetaObject, {}, PropertyEditorClass<Other>());
    RegisterPropertyEditor(intType, &QObject::staticMetaObject, QStringLiteral("textnr"),
                           PropertyEditorClass<Marked>());
    EXPECT_EQ(ValueOf(&d, "TextNr"), u"marked"); // a given name beats a given class
    EXPECT_EQ(ValueOf(&d, "Tag"), u"other");

    RegisterPropertyEditor(intType, &TBase::staticMetaObject, QStringLiteral("Tag"),
                           PropertyEditorClass<Marked>());
    RegisterPropertyEditor(intType, &TDerived::staticMetaObject, QStringLiteral("Tag"),
                           PropertyEditorClass<Other>());
    EXPECT_EQ(ValueOf(&d, "Tag"), u"other"); // deeper class
    TBase b;
    EXPECT_EQ(ValueOf(&b, "Tag"), u"marked"); // the derived class's row does not reach the base

    RegisterPropertyEditor(intType, &TDerived::staticMetaObject, QStringLiteral("Tag"),
                           PropertyEditorClass<Marked>());
    EXPECT_EQ(ValueOf(&d, "Tag"), u"marked"); // later registration of equal rank
}

TEST_F(DesignRegistryTest, NoEditorHidesAndPurgingRestoresTheDefault) {
    TDerived d;
    d.setHint(QStringLiteral("Hilfe"));
    RegisterPropertyEditor(QMetaType::fromType<QString>(), &TBase::staticMetaObject, {}, {});
    EXPECT_EQ(ValueOf(&d, "Hint"), u"(hidden)");
    EXPECT_EQ(PurgeModule(QStringLiteral("test")), 1);
    EXPECT_EQ(ValueOf(&d, "Hint"), u"Hilfe");
}

TEST_F(DesignRegistryTest, ObjectTypesMatchDerivedClasses) {
    TDerived d;
    RegisterPropertyEditor(QMetaType::fromType<QObject*>(), nullptr, {}, PropertyEditorClass<Marked>());
    const QMetaProperty link = d.metaObject()->property(d.metaObject()->indexOfProperty("Link"));
    EXPECT_TRUE(FindPropertyEditor(QMetaType::fromType<TDerived*>(), &TBase::staticMetaObject,
                                   QStringLiteral("x"))
                    .found);
    EXPECT_FALSE(FindPropertyEditor(QMetaType::fromType<int>(), &TBase::staticMetaObject,
                                    QStringLiteral("x"))
                     .found);
    EXPECT_TRUE(GetPropertyEditor(nullptr, {&d}, link) != nullptr);
}

TEST_F(DesignRegistryTest, DefaultEditorsConvertAndRefuseBadText) {
    TDerived a, b;
    const QMetaObject* m = a.metaObject();
    auto tag = GetPropertyEditor(nullptr, {&a, &b}, m->property(m->indexOfProperty("Tag")));
    tag->SetValue(QStringLiteral(" 42 "));
    EXPECT_EQ(a.tag(), 42);
    EXPECT_EQ(b.tag(), 42); // every selected component
    EXPECT_THROW(tag->SetValue(QStringLiteral("4x")), EConvertError);
    EXPECT_EQ(a.tag(), 42);

    // A reference names another component of the designed form.
    struct Designer final : IDesigner {
        QObject* root;
        int modified = 0;
        QObject* GetRoot() override { return root; }
        void Modified() override { ++modified; }
        QList<QObject*> GetSelections() override { return {}; }
    } designer;
    QObject form;
    designer.root = &form;
    Vcl::SetOwner(&a, &form);
    a.setObjectName(QStringLiteral("Edit1"));
    Vcl::SetOwner(&b, &form);
    b.setObjectName(QStringLiteral("Edit2"));
    auto link = GetPropertyEditor(&designer, {&a}, m->property(m->indexOfProperty("Link")));
    QStringList values;
    link->GetValues([&](const QString& v) { values << v; });
    EXPECT_TRUE(values.contains(QStringLiteral("Edit2")));
    link->SetValue(QStringLiteral("edit2"));
    EXPECT_EQ(a.link(), &b);
    EXPECT_EQ(link->GetValue(), u"Edit2");
    EXPECT_THROW(link->SetValue(QStringLiteral("Nirgends")), EVoskException);
    EXPECT_EQ(designer.modified, 1);
    Vcl::SetOwner(&a, nullptr);
    Vcl::SetOwner(&b, nullptr);
}

} // namespace


namespace {

class TPaletteFrame final : public QWidget {
    Q_OBJECT
public:
    TPaletteFrame(QObject* owner, QWidget* parent) : QWidget(parent) { Vcl::SetOwner(this, owner); }
};

class TPaletteEdit final : public QWidget {
    Q_OBJECT
public:
    explicit TPaletteEdit(QWidget* parent) : QWidget(parent) {}
};

} // namespace

// The units' Register procedures reach the palette only while the IDE listens; pages keep the
// order they came in, a class registered again moves, and purging a module takes its classes and
// a page it leaves empty.
TEST_F(DesignRegistryTest, PalettePagesFromRegisterProceduresWhileTheIdeListens) {
    Vcl::RegisterComponents(QStringLiteral("Seite A"), {Vcl::ComponentClass<TPaletteFrame>()});
    EXPECT_TRUE(PalettePages().isEmpty()); // nobody listens outside the IDE

    InstallRegistrationProcs(true);
    Vcl::RegisterComponents(QStringLiteral("Seite B"), {Vcl::ComponentClass<TPaletteFrame>(),
                                                        Vcl::ComponentClass<TPaletteEdit>()});
    Vcl::RegisterComponents(QStringLiteral("Seite A"), {Vcl::ComponentClass<TPaletteFrame>()});
    Vcl::RegisterNoIcon({&TDerived::staticMetaObject});
    InstallRegistrationProcs(false);
    EXPECT_EQ(PalettePages(), (QStringList{QStringLiteral("Seite B"), QStringLiteral("Seite A")}));
    EXPECT_EQ(PalettePageOf(QStringLiteral("tpaletteframe")), QStringLiteral("Seite A"));
    ASSERT_EQ(PaletteClasses(QStringLiteral("Seite B")).size(), 1u);
    EXPECT_TRUE(IsDesignKnownClass(QStringLiteral("TDerived")));
    EXPECT_EQ(FindPaletteClass(QStringLiteral("TDerived")), nullptr);

    // Both kinds of constructor make a component of the designed form inside its parent.
    QWidget form;
    for (const char* name : {"TPaletteFrame", "TPaletteEdit"}) {
        const Vcl::TComponentClass* cls = FindPaletteClass(QLatin1String(name));
        ASSERT_NE(cls, nullptr) << name;
        QObject* made = cls->Create(&form, &form);
        EXPECT_EQ(Vcl::ClassName(made), QLatin1String(name));
        EXPECT_EQ(Vcl::Owner(made), &form);
        EXPECT_EQ(made->parent(), &form);
    }

    SetRegisteringModule(QStringLiteral("other"));
    InstallRegistrationProcs(true);
    Vcl::RegisterComponents(QStringLiteral("Seite C"), {Vcl::ComponentClass<TPaletteEdit>()});
    InstallRegistrationProcs(false);
    SetRegisteringModule(QStringLiteral("test"));
    EXPECT_EQ(PurgeModule(QStringLiteral("test")), 2); // the frame and the class without icon
    EXPECT_EQ(PalettePages(), QStringList{QStringLiteral("Seite C")});
    EXPECT_FALSE(IsDesignKnownClass(QStringLiteral("TDerived")));
    EXPECT_EQ(PurgeModule(QStringLiteral("other")), 1);
    EXPECT_TRUE(PalettePages().isEmpty());
}

#include "DesignRegistryTest.moc"
