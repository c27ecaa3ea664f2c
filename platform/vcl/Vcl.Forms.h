#pragma once
// TForm is the base of every form of the system: a window-level QWidget with an owner, the border,
// style, position and window state the forms set, the close protocol (CloseQuery, OnClose with a
// close action) and ShowModal with a modal result. Screen lists the live forms in creation order,
// each with a serial number that is never reused, so a form passed around by number can be
// resolved safely after it has gone.

#include "Vcl.Types.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QEventLoop;
class QMdiSubWindow;

namespace Vcl {

class TForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(Vcl::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(Vcl::TFormStyle FormStyle READ FormStyle WRITE SetFormStyle)
    Q_PROPERTY(Vcl::TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(Vcl::TWindowState WindowState READ WindowState WRITE SetWindowState)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)

public:
    // The form is a window of its own; parent only makes it a transient of that window. An MDI
    // child is later put into a QMdiSubWindow by the main window.
    explicit TForm(QObject* owner = nullptr, QWidget* parent = nullptr);
    ~TForm() override;

    int Serial() const { return m_serial; }

    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle style);
    TFormStyle FormStyle() const { return m_formStyle; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return m_position; }
    void SetPosition(TPosition position) { m_position = position; }
    // Read from and applied to the frame: the QMdiSubWindow of an MDI child, else the form.
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    QWidget* Frame() const;

    // Runs the close protocol; true when the form was hidden or freed.
    bool Close();
    // Frees the form once the current event has been handled.
    void Release();
    // Shows the form application-modal until a modal result is set or it is closed; mrCancel when
    // it was closed without one, or destroyed meanwhile.
    int ShowModal();
    bool IsModal() const { return m_modalLoop != nullptr; }
    int ModalResult() const { return m_modalResult; }
    // A result other than mrNone closes a modal form; a refused close resets it to mrNone.
    void SetModalResult(int result);

    // Whether the form may close; the default asks OnCloseQuery.
    virtual bool CloseQuery();

    // Runs BeforeDestruction once, while the form is still whole. The close protocol's caFree,
    // Release, a deferred delete and an owner that frees the form call it; a form deleted
    // directly should call it first.
    void PrepareDestruction();

    std::function<void(QObject* sender, bool& canClose)> OnCloseQuery;
    std::function<void(QObject* sender, TCloseAction& action)> OnClose;
    std::function<void(QObject* sender)> OnShow;
    std::function<void(QObject* sender)> OnHide;
    std::function<void(QObject* sender)> OnActivate;
    std::function<void(QObject* sender)> OnDeactivate;

protected:
    // What a form does before it is destroyed (its OnDestroy), with every derived part alive.
    virtual void BeforeDestruction() {}
    bool DestructionPrepared() const { return m_destructionPrepared; }

    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void UpdateWindowFlags();
    void ApplyPosition();
    void SetActive(bool active);
    void WatchFrame();

    int m_serial = 0;
    TBorderStyle m_borderStyle = bsSizeable;
    TFormStyle m_formStyle = fsNormal;
    TPosition m_position = poDefaultPosOnly;
    int m_modalResult = mrNone;
    QEventLoop* m_modalLoop = nullptr;
    bool m_positioned = false;
    bool m_active = false;
    bool m_destructionPrepared = false;
    QPointer<QMdiSubWindow> m_watchedFrame;
};

// Where a window of size `size` goes to be centred over `over`, kept inside `screen`.
QRect CenteredGeometry(const QSize& size, const QRect& over, const QRect& screen);

class Screen final {
public:
    // Live forms in creation order; a form that is being destroyed is no longer listed.
    static QList<TForm*> Forms();
    static int FormCount() { return int(Forms().size()); }
    static TForm* FormBySerial(int serial); // null when that form is gone or going
    // The form the user works in: the active window if it is a form, else the form that holds
    // the focus widget.
    static TForm* ActiveForm();
    // The application's main window (set by the host); poMainFormCenter centres over it.
    static QWidget* MainForm();
    static void SetMainForm(QWidget* form);

private:
    friend class TForm;
    static int Register(TForm* form);
    static void Unregister(TForm* form);
};

} // namespace Vcl
