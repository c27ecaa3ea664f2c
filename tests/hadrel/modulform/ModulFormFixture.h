#pragma once
// The address module on the suite's database, under a minimal MDI main window: twenty rows in
// adressen, the package's units initialized, errors shown through the answerer.

#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "TFormAdress.h"
#include "TVoskClass.h"
#include "TVoskDBEdit.h"
#include "TVoskDBGrid2.h"
#include "TVoskDBNavigator.h"
#include "UModulForm.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "VoskControls.h"

#include <QBoxLayout>
#include <QLabel>

#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTest>

class ModulFormFixture : public FrameworkTest {
public:
    static void SetUpTestSuite() {
        FrameworkTest::SetUpTestSuite();
        Rtl::Package::Get(QStringLiteral("hadrel")).Initialize();
        testsupport::TestDatabase::Exec(QStringLiteral(
            "INSERT INTO adressen (name, ort, plz) SELECT 'Adresse ' || lpad(i::text, 2, '0'), "
            "'Ort ' || i, lpad((10000 + i)::text, 5, '0') FROM generate_series(1, 20) AS i"));
        s_main = new QMainWindow;
        s_main->setCentralWidget(new QMdiArea(s_main));
        s_main->resize(1400, 900);
        s_main->show();
        Vcl::Screen::SetMainForm(s_main);
    }
    static void TearDownTestSuite() {
        Vcl::Screen::SetMainForm(nullptr);
        delete s_main;
        s_main = nullptr;
        Rtl::Package::Get(QStringLiteral("hadrel")).Finalize();
        FrameworkTest::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        Korvexcommonvcl::UseLatestCommonDialogs = true;
    }
    void TearDown() override {
        for (QPointer<Vcl::TForm>& f : m_forms)
            if (f) {
                if (auto* m = qobject_cast<TModulForm*>(f.data()))
                    for (TVoskClass* c : Vcl::ComponentsOf<TVoskClass>(m))
                        if (c->InEdit())
                            c->Cancel();
                Vcl::TForm* form = f.data();
                QWidget* frame = form->Frame();
                delete form;
                if (frame != form)
                    delete frame;
            }
        QApplication::processEvents();
        Korvexcommonvcl::UseLatestCommonDialogs = false;
    }

    TFormAdress* Open(const QStringList& parameters = {}) {
        TFormAdress* f = TFormAdress::Open(nullptr, parameters);
        m_forms.append(f);
        QApplication::processEvents();
        return f;
    }
    template <class T> T* Track(T* form) {
        m_forms.append(form);
        return form;
    }
    // Clicks the navigator's tool button, not just its action, as the user does.
    static void Click(TModulForm* f, NavBtn nb) {
        TVoskDBNavigator* nav = f->TopLabel->DBN1;
        auto* b = qobject_cast<QAbstractButton*>(nav->widgetForAction(nav->ButtonControl(nb)));
        ASSERT_TRUE(b);
        ASSERT_TRUE(b->isEnabled()) << "navigator button " << int(nb) << " is disabled";
        b->click();
        QApplication::processEvents();
    }
    // Types into an edit as the user does: the text replaces what it showed.
    static void Type(QLineEdit* e, const QString& text) {
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    static QString DbValue(const QString& column, qint64 dbrid) {
        return testsupport::TestDatabase::Scalar(
            QStringLiteral("SELECT %1 FROM adressen WHERE dbrid = %2").arg(column).arg(dbrid));
    }
    static qint64 CurrentId(TFormAdress* f) {
        return f->DataAdressen->FieldByName(QStringLiteral("dbrid")).AsLargeInt();
    }

    QList<QPointer<Vcl::TForm>> m_forms;
    static inline QMainWindow* s_main = nullptr;
};
