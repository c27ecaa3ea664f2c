#include "VoskHelp.h"

#include <UDM1.h>
#include <Vcl.Services.h>

#include <QUrl>

namespace Corvale {
namespace {

class ShellHelp final : public THelp {
public:
    void ShowKeyword(const QString& keyword, QWidget* parent) override {
        TDM1* dm = DM1();
        const QString pattern = dm && dm->Connected()
                                    ? dm->GetSetting(QStringLiteral("HelpKeywordUrl")).trimmed()
                                    : QString();
        if (pattern.isEmpty()) {
            Vcl::Ask(Vcl::mtInformation, QStringLiteral("Hilfe"),
                     QStringLiteral("Zu \"%1\" ist keine Hilfe hinterlegt.").arg(keyword),
                     Vcl::mbOK, Vcl::mbNone, {}, parent);
            return;
        }
        const QString url = pattern.contains(QStringLiteral("%1"))
                                ? pattern.arg(QString::fromLatin1(QUrl::toPercentEncoding(keyword)))
                                : pattern;
        Vcl::Shell::Instance().OpenUrl(QUrl(url));
    }
};

THelp*& installed() {
    static THelp* help = nullptr;
    return help;
}

} // namespace

THelp& THelp::Instance() {
    static ShellHelp shell;
    THelp* h = installed();
    return h ? *h : shell;
}

THelp* THelp::SetInstance(THelp* help) {
    THelp* old = installed();
    installed() = help;
    return old;
}

} // namespace Corvale
