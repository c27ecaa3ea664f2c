#pragma once
// The address module with the status bar's timer held back (the tests call its tick), and
// recording stand-ins for the note editor, the resubmission dialog and the document window.

#include "modulform/ModulFormFixture.h"

#include "TRecNoClasses.h"
#include "TVoskSpeedButton.h"
#include "UDataModul_Dunmere.h"
#include "UModulFormSeams.h"
#include "VoskTimer.h"

#include <QWidget>

#include <functional>

using testsupport::TestDatabase;

// The resubmission dialog as a test answers it.
class RecordingWvod final : public UModulFormSeams::IFormWvod {
public:
    explicit RecordingWvod(std::function<int(RecordingWvod&)> answer)
        : m_answer(std::move(answer)) {}
    int ShowModal() override { return m_answer(*this); }

private:
    std::function<int(RecordingWvod&)> m_answer;
};

class RecordInfoFixture : public ModulFormFixture {
protected:
    void SetUp() override {
        ModulFormFixture::SetUp();
        s_editors = 0;
    }
    void TearDown() override {
        UModulFormSeams::FormRecnoComments.Reset();
        UModulFormSeams::FormWvod.Reset();
        UModulFormSeams::FormDokments.Reset();
        ModulFormFixture::TearDown();
        TestDatabase::Exec(QStringLiteral(
            "DELETE FROM recnocomments; DELETE FROM recnokeyword; DELETE FROM recnogroup; "
            "DELETE FROM picndoku; DELETE FROM dokuclasskey; DELETE FROM softlink; "
            "DELETE FROM settings WHERE s_name = 'recnocomments_cbHinweisAlsDialog'; "
            "DELETE FROM lastval WHERE lv_key LIKE '%cbHinweisAlsDialog'"));
        TVoskDM_Dunmere::Instance()->ClearCache();
    }

    // The module, its tick only when called.
    TFormAdress* OpenQuiet() {
        TFormAdress* f = Open();
        f->TimerShowWvodDokuHint->SetInterval(3600 * 1000);
        f->TimerShowWvodDokuHint->SetEnabled(false);
        return f;
    }
    static void Tick(TModulForm* f) {
        f->TimerFastHelpTimer(f->TimerShowWvodDokuHint);
        f->TimerShowWvodDokuHint->SetEnabled(false);
    }
    static void GoTo(TFormAdress* f, qint64 id) {
        ASSERT_TRUE(f->DataAdressen->SearchDbrid(id)) << id;
    }
    static qint64 IdOf(const QString& name) {
        return TestDatabase::Scalar(
                   QStringLiteral("SELECT dbrid FROM adressen WHERE name = '%1'").arg(name))
            .toLongLong();
    }
    static bool IsRed(const TVoskSpeedButton* b) {
        return b->FontColor() == TModulForm::StatusColorSet();
    }
    static bool IsBlue(const TVoskSpeedButton* b) {
        return b->FontColor() == TModulForm::StatusColorEmpty();
    }
    // A note editor that only counts how often it was opened.
    static void RecordEditors() {
        UModulFormSeams::FormRecnoComments.Set([](QWidget* owner, TRecNoComment*) -> QWidget* {
            ++s_editors;
            auto* w = new QWidget(owner, Qt::Window);
            w->setObjectName(QStringLiteral("RecordingNoteEditor"));
            return w;
        });
    }
    static inline int s_editors = 0;
};
