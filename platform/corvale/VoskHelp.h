#pragma once
// Application help by keyword. The default opens the address of the setting "HelpKeywordUrl"
// ("%1" stands for the keyword) through the shell service, and says so when none is set; tests
// install their own.

#include <QString>

class QWidget;

namespace Corvale {

class THelp {
public:
    virtual ~THelp() = default;
    virtual void ShowKeyword(const QString& keyword, QWidget* parent) = 0;

    static THelp& Instance();
    static THelp* SetInstance(THelp* help); // returns the previous one; null: the default
};

inline void ApplicationHelpKeyword(const QString& keyword, QWidget* parent = nullptr) {
    THelp::Instance().ShowKeyword(keyword, parent);
}

} // namespace Corvale
