#pragma once
// The dialogs' tests: a connected data module on the suite's database, an answerer for every
// question, and a stand-in user for modal forms of one class.
#include "FrameworkFixture.h"

#include "Korvexcommonvcl.h"
#include "Vcl.Forms.h"

#include <QApplication>
#include <QKeyEvent>

#include <functional>

// Plays the user of every modal form of class T: fn acts on the form and returns its modal result.
// Forms of other classes are a fault of the test and are cancelled.
template <class T> class FormUser final : public Korvexcommonvcl::ModalForms {
public:
    explicit FormUser(std::function<int(T*)> fn) : m_fn(std::move(fn)) { m_old = SetInstance(this); }
    ~FormUser() override { SetInstance(m_old); }
    int Run(Vcl::TForm* form) override {
        ++calls;
        auto* f = qobject_cast<T*>(form);
        EXPECT_TRUE(f) << "unexpected modal form " << form->metaObject()->className();
        return f ? m_fn(f) : int(Vcl::mrCancel);
    }
    int calls = 0;

private:
    std::function<int(T*)> m_fn;
    ModalForms* m_old;
};

inline void SendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods);
    QApplication::sendEvent(w, &release);
}

class DialogsTest : public FrameworkTest {};
