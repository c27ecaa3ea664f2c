#pragma once
// The camera frames: a live picture with a button that takes it, placed by the caller over its
// own window. Module 0 is a camera of the system (QtMultimedia), module 1 a network camera whose
// JPEG snapshot is fetched from an address. Each picture taken goes to OnSave; closing the frame
// tells OnClose and frees it.
//
// Settings (database settings): "Kamera.Module" lists the switched-on modules ("0", "0,1";
// default "0"), "Kamera.JPEGAdresse" the snapshot address of module 1.

#include <HookSlot.h>

#include <QFrame>
#include <QImage>
#include <QPointer>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace Ashgrove {

class TCameraFrame : public QFrame {
    Q_OBJECT
public:
    explicit TCameraFrame(QWidget* parent);
    ~TCameraFrame() override;

    // The switched-on modules as a set of bits (bit n: module n, 0 to 31).
    static quint32 GetActiveCameraModuls();
    // The frame of module (0 or 1), or of the module that a test put in place; null for another
    // number.
    static TCameraFrame* Create(int module, QWidget* parent);
    // Tests and demos: makes the frames Create returns; empty for the real modules.
    static Rtl::HookSlot<TCameraFrame*(int module, QWidget* parent)> CreateHook;

    // Starts the live picture; a camera that cannot be reached is said in the frame.
    virtual void CamConnect() = 0;
    // Takes the picture after seconds; closeAfter: the frame closes once it is taken.
    void CamSaveTimeout(bool closeAfter, int seconds);
    // Takes the picture now (the frame's own button).
    virtual void CamSave() = 0;
    void CamClose();

    std::function<void(QObject* Sender, const QImage& Bitmap)> OnSave;
    std::function<void(QObject* Sender)> OnClose;

    QLabel* lbState;
    QPushButton* btSave;
    QPushButton* btClose;

protected:
    // The picture taken: to OnSave, then closing when CamSaveTimeout asked for it.
    void Deliver(const QImage& picture);
    void ShowState(const QString& text);
    QWidget* m_view; // where a module shows its live picture

private:
    QTimer* m_timer;
    bool m_closeAfter = false;
};

// A camera of the system through QtMultimedia.
class TCameraFrameCAPI final : public TCameraFrame {
    Q_OBJECT
public:
    explicit TCameraFrameCAPI(QWidget* parent);
    ~TCameraFrameCAPI() override;
    static QString GetCaption() { return QStringLiteral("Kamera (Videogerät)"); }
    void CamConnect() override;
    void CamSave() override;

private:
    struct Media;
    std::unique_ptr<Media> m_media;
};

// A network camera: its JPEG snapshot is fetched from the configured address, once a second for
// the live picture.
class TCameraFrameJPEG final : public TCameraFrame {
    Q_OBJECT
public:
    explicit TCameraFrameJPEG(QWidget* parent);
    ~TCameraFrameJPEG() override;
    static QString GetCaption() { return QStringLiteral("Netzwerkkamera (JPEG)"); }
    void CamConnect() override;
    void CamSave() override;
    void SetAddress(const QString& address) { m_address = address; }

private:
    void fetch(bool save);
    struct Net;
    std::unique_ptr<Net> m_net;
    QString m_address;
    QImage m_last;
};

// A camera that shows a prepared picture: tests and demos without a device.
class TCameraFrameFake final : public TCameraFrame {
    Q_OBJECT
public:
    TCameraFrameFake(QWidget* parent, QImage picture);
    void CamConnect() override;
    void CamSave() override { Deliver(m_picture); }
    bool Connected() const { return m_connected; }

private:
    QImage m_picture;
    bool m_connected = false;
};

} // namespace Ashgrove
