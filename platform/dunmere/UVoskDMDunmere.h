#pragma once
// The system data module: data sets the whole session shares, opened at login. The key-snippet set
// holds texts that a key combination types into a memo (kbsc_keycode: Windows virtual-key code,
// kbsc_keystate: Shift 1, Alt 2, Ctrl 4, kbsc_text).

#include "VoskQuery2.h"

#include <memory>

class TDM1;

class TVoskDMDunmere final {
public:
    // Opens the session's data sets on dm; a failure is logged and leaves them closed.
    void Open(TDM1& dm);
    void Close();

    // The key snippets; null while closed.
    TVoskQuery2* KeySnippets() const { return m_keySnippets.get(); }
    bool KeySnippetsOpen() const { return m_keySnippets && m_keySnippets->Active(); }

private:
    std::unique_ptr<TVoskQuery2> m_keySnippets;
};

TVoskDMDunmere& VoskDM_Dunmere();
