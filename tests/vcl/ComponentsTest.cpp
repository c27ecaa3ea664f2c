#include "Vcl.Components.h"
#include "Vcl.Forms.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <memory>

class TModulForm : public Vcl::TForm {
    Q_OBJECT
public:
    using Vcl::TForm::TForm;
};

class TFormAdress final : public TModulForm {
    Q_OBJECT
public:
    using TModulForm::TModulForm;
};

namespace Corvale {
class TVoskEdit final : public QWidget {
    Q_OBJECT
};
} // namespace Corvale

TEST(Components, OwnerListKeepsOrderAndForgetsTheDead) {
    auto owner = std::make_unique<QObject>();
    auto* a = Vcl::Owned(owner.get(), new QObject, QStringLiteral("PanelTop"));
    auto* b = Vcl::Owned(owner.get(), new QObject, QStringLiteral("btSave"));
    auto* c = Vcl::Owned(owner.get(), new QObject, QStringLiteral("btCancel"));
    EXPECT_EQ(Vcl::Components(owner.get()), QList<QObject*>({a, b, c}));
    EXPECT_EQ(Vcl::ComponentIndex(c), 2);
    EXPECT_EQ(Vcl::Owner(b), owner.get());

    delete b;
    EXPECT_EQ(Vcl::Components(owner.get()), QList<QObject*>({a, c}));
    EXPECT_EQ(Vcl::ComponentIndex(c), 1);
    EXPECT_EQ(Vcl::Component(owner.get(), 5), nullptr);

    // Moving to another owner appends there and leaves the first list.
    QObject other;
    Vcl::SetOwner(a, &other);
    EXPECT_EQ(Vcl::Components(owner.get()), QList<QObject*>({c}));
    EXPECT_EQ(Vcl::Components(&other), QList<QObject*>({a}));
    Vcl::SetOwner(a, nullptr);
    EXPECT_EQ(Vcl::Owner(a), nullptr);
    EXPECT_EQ(Vcl::ComponentCount(&other), 0);
    EXPECT_EQ(Vcl::ComponentIndex(a), -1);
    delete a;
}

TEST(Components, FindComponentIgnoresCaseAndLooksOnlyAtOwnComponents) {
    QObject owner;
    auto* panel = Vcl::Owned(&owner, new QObject(&owner), QStringLiteral("PanelTop"));
    Vcl::Owned(panel, new QObject(panel), QStringLiteral("btInner"));
    EXPECT_EQ(Vcl::FindComponent(&owner, QStringLiteral("paneltop")), panel);
    EXPECT_EQ(Vcl::FindComponent(&owner, QStringLiteral("btInner")), nullptr);
    EXPECT_EQ(Vcl::FindComponent(&owner, QString()), nullptr);
}

namespace {
// Records in its destructor what a handler running during the owner's teardown would see.
class ToolWindow final : public QWidget {
public:
    ToolWindow(QWidget* parent, bool& sawDestroying) : QWidget(parent), m_saw(sawDestroying) {}
    ~ToolWindow() override { m_saw = Vcl::IsDestroying(this); }

private:
    bool& m_saw;
};
} // namespace

TEST(Components, OwnerFreesComponentsLivingElsewhereAndMarksThemDestroying) {
    QWidget mainWindow;
    QPointer<QWidget> tool;
    bool toolSawDestroying = false;
    {
        auto form = std::make_unique<Vcl::TForm>();
        // Parented to the main window, owned by the form: only the owner ends it.
        tool = Vcl::Owned(form.get(), new ToolWindow(&mainWindow, toolSawDestroying),
                          QStringLiteral("ToolForm"));
        auto* child = Vcl::Owned(form.get(), new QLabel(form.get()), QStringLiteral("Label1"));
        (void)child;
        EXPECT_FALSE(Vcl::IsDestroying(form.get()));
    }
    EXPECT_TRUE(tool.isNull());
    EXPECT_TRUE(toolSawDestroying);
}

TEST(Components, DesigningPassesToComponentsGivenLater) {
    QObject owner;
    auto* early = Vcl::Owned(&owner, new QObject(&owner));
    Vcl::SetDesigning(&owner, true);
    auto* late = Vcl::Owned(&owner, new QObject(&owner));
    EXPECT_TRUE(Vcl::IsDesigning(early));
    EXPECT_TRUE(Vcl::IsDesigning(late));
    QObject plain;
    EXPECT_FALSE(Vcl::IsDesigning(&plain));
}

TEST(Components, TagIsAProperty) {
    QObject o;
    EXPECT_EQ(Vcl::Tag(&o), 0);
    Vcl::SetTag(&o, 1LL << 40);
    EXPECT_EQ(Vcl::Tag(&o), 1LL << 40);
    EXPECT_EQ(o.property("Tag").toLongLong(), 1LL << 40);
}

TEST(Components, ClassNamesWithoutNamespaceAndInheritanceByName) {
    TFormAdress form;
    Corvale::TVoskEdit edit;
    EXPECT_EQ(Vcl::ClassName(&form), QStringLiteral("TFormAdress"));
    EXPECT_EQ(Vcl::ClassName(&edit), QStringLiteral("TVoskEdit"));
    EXPECT_TRUE(Vcl::ClassNameIs(&form, QStringLiteral("tformadress")));
    EXPECT_TRUE(Vcl::InheritsFromName(&form, QStringLiteral("tmodulform")));
    EXPECT_TRUE(Vcl::InheritsFromName(&form, QStringLiteral("TForm")));
    EXPECT_TRUE(Vcl::InheritsFromName(&form, QStringLiteral("QWidget")));
    EXPECT_FALSE(Vcl::InheritsFromName(&edit, QStringLiteral("TModulForm")));
    EXPECT_FALSE(Vcl::InheritsFromName(nullptr, QStringLiteral("QObject")));
}

TEST(Components, ParentFormAndFullNameFollowTheParentChain) {
    QWidget host;
    host.setObjectName(QStringLiteral("MainWindow"));
    auto* form = new TFormAdress(nullptr, &host);
    form->setObjectName(QStringLiteral("FormAdress"));
    auto* frame = new QWidget(form); // unnamed, as Qt's own containers are
    auto* panel = new QWidget(frame);
    panel->setObjectName(QStringLiteral("PanelTop"));
    auto* button = new QPushButton(panel);
    button->setObjectName(QStringLiteral("btSave"));
    auto* unnamed = new QLabel(panel);

    EXPECT_EQ(Vcl::ParentForm(button), form);
    EXPECT_EQ(Vcl::ParentForm(form), form);
    EXPECT_EQ(Vcl::ParentForm(&host), nullptr);
    EXPECT_EQ(Vcl::FullName(button), QStringLiteral("FormAdress.PanelTop.btSave"));
    EXPECT_EQ(Vcl::FullName(unnamed), QStringLiteral("FormAdress.PanelTop.QLabel"));
    EXPECT_TRUE(Vcl::HasAsParent(form, button));
    EXPECT_FALSE(Vcl::HasAsParent(button, form));
    EXPECT_FALSE(Vcl::HasAsParent(button, button));
}

#include "ComponentsTest.moc"
