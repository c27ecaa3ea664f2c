#pragma once
// Plays the user of the conditional-formatting dialogs of a grid or tree list: adds one rule
// "field equal value" and closes both dialogs with OK.

#include "Korvexcommonvcl.h"
#include "VoskConditionalFormatting.h"
#include "VoskConditionalFormattingDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

class AddRule final : public Korvexcommonvcl::ModalForms {
public:
    AddRule(QString field, QString value) : m_field(std::move(field)), m_value(std::move(value)) {
        m_old = SetInstance(this);
    }
    ~AddRule() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        if (auto* list = qobject_cast<TfrmConditionalFormatting*>(form)) {
            list->btAdd->click();
            list->btOk->click();
            return list->ModalResult();
        }
        auto* e = qobject_cast<TfrmConditionalFormattingRule*>(form);
        EXPECT_TRUE(e) << form->metaObject()->className();
        if (!e)
            return Vcl::mrCancel;
        fields.clear();
        for (int i = 0; i < e->cbField->count(); ++i)
            fields << e->cbField->itemData(i).toString();
        e->cbField->setCurrentIndex(e->cbField->findData(m_field));
        e->cbOperator->setCurrentIndex(e->cbOperator->findData(int(TVoskCondOperator::Equal)));
        e->edValue1->setText(m_value);
        e->btOk->click();
        return e->ModalResult();
    }
    // The fields the rule editor offered.
    QStringList fields;

private:
    QString m_field, m_value;
    ModalForms* m_old;
};
