#include "UVoskDMDunmere.h"

#include "UDM1.h"

void TVoskDMDunmere::Open(TDM1& dm) {
    Close();
    auto q = std::make_unique<TVoskQuery2>(&dm.Database());
    q->SetSQL(QStringLiteral(
        "SELECT kbsc_keycode, kbsc_keystate, kbsc_text FROM keysnippets ORDER BY kbsc_keycode"));
    try {
        q->Open();
    } catch (const std::exception& e) {
        dm.LogEvent(QStringLiteral("TVoskDMDunmere.Open: keysnippets"), &e);
        return;
    }
    m_keySnippets = std::move(q);
    // The set lives on the data module's connection and goes with it.
    QObject::connect(&dm, &QObject::destroyed, [] { VoskDM_Dunmere().Close(); });
}

void TVoskDMDunmere::Close() { m_keySnippets.reset(); }

TVoskDMDunmere& VoskDM_Dunmere() {
    static TVoskDMDunmere dm;
    return dm;
}
