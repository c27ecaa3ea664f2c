#include "TCameraFrame.h"

#include <EventGuard.h>
#include <UDM1.h>

#include <QBuffer>
#include <QCamera>
#include <QHBoxLayout>
#include <QImageCapture>
#include <QImageReader>
#include <QLabel>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QVideoWidget>

namespace Ashgrove {

Rtl::HookSlot<TCameraFrame*(int, QWidget*)> TCameraFrame::CreateHook;

TCameraFrame::TCameraFrame(QWidget* parent) : QFrame(parent), m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("TCameraFrame"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* root = new QVBoxLayout(this);
    m_view = new QWidget(this);
    m_view->setMinimumSize(160, 120);
    auto* viewLayout = new QVBoxLayout(m_view);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    root->addWidget(m_view, 1);
    lbState = new QLabel(this);
    lbState->setObjectName(QStringLiteral("lbState"));
    lbState->setAccessibleName(QStringLiteral("Kamerastatus"));
    lbState->setWordWrap(true);
    root->addWidget(lbState);
    auto* buttons = new QHBoxLayout;
    btSave = new QPushButton(QStringLiteral("&Aufnehmen"), this);
    btSave->setObjectName(QStringLiteral("btSave"));
    btSave->setToolTip(QStringLiteral("Das Bild aufnehmen und als Seite einfügen"));
    btClose = new QPushButton(QStringLiteral("&Schließen"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setToolTip(QStringLiteral("Die Kamera schließen"));
    buttons->addStretch(1);
    buttons->addWidget(btSave);
    buttons->addWidget(btClose);
    root->addLayout(buttons);
    connect(btSave, &QPushButton::clicked, this, [this] { Rtl::Guarded([&] { CamSave(); }, this); });
    connect(btClose, &QPushButton::clicked, this, [this] { CamClose(); });
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { Rtl::Guarded([&] { CamSave(); }, this); });
}

TCameraFrame::~TCameraFrame() = default;

quint32 TCameraFrame::GetActiveCameraModuls() {
    QString setting = QStringLiteral("0");
    if (TDM1* dm = DM1(); dm && dm->Connected())
        setting = dm->GetSetting(QStringLiteral("Kamera.Module"), setting);
    quint32 modules = 0;
    for (const QString& part : setting.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (ok && n >= 0 && n < 32)
            modules |= 1u << n;
    }
    return modules;
}

TCameraFrame* TCameraFrame::Create(int module, QWidget* parent) {
    if (CreateHook.Assigned())
        return CreateHook(module, parent);
    switch (module) {
    case 0: return new TCameraFrameCAPI(parent);
    case 1: {
        auto* frame = new TCameraFrameJPEG(parent);
        if (TDM1* dm = DM1(); dm && dm->Connected())
            frame->SetAddress(dm->GetSetting(QStringLiteral("Kamera.JPEGAdresse")).trimmed());
        return frame;
    }
    default: return nullptr;
    }
}

void TCameraFrame::CamSaveTimeout(bool closeAfter, int seconds) {
    m_closeAfter = closeAfter;
    ShowState(QStringLiteral("Aufnahme in %1 Sekunden ...").arg(seconds));
    m_timer->start(qMax(0, seconds) * 1000);
}

void TCameraFrame::CamClose() {
    m_timer->stop();
    if (OnClose)
        OnClose(this);
    hide();
    deleteLater();
}

void TCameraFrame::Deliver(const QImage& picture) {
    if (picture.isNull()) {
        ShowState(QStringLiteral("Es liegt noch kein Bild der Kamera vor."));
        return;
    }
    ShowState(QStringLiteral("Bild aufgenommen."));
    if (OnSave)
        OnSave(this, picture);
    if (m_closeAfter)
        CamClose();
}

void TCameraFrame::ShowState(const QString& text) { lbState->setText(text); }

// ---------------------------------------------------------------------------------------------
// Module 0

struct TCameraFrameCAPI::Media {
    QMediaCaptureSession session;
    std::unique_ptr<QCamera> camera;
    QImageCapture capture;
    QVideoWidget* video = nullptr;
};

TCameraFrameCAPI::TCameraFrameCAPI(QWidget* parent) : TCameraFrame(parent), m_media(std::make_unique<Media>()) {
    setObjectName(QStringLiteral("TCameraFrameCAPI"));
    m_media->video = new QVideoWidget(m_view);
    m_view->layout()->addWidget(m_media->video);
    m_media->session.setImageCapture(&m_media->capture);
    m_media->session.setVideoOutput(m_media->video);
    connect(&m_media->capture, &QImageCapture::imageCaptured, this,
            [this](int, const QImage& image) { Rtl::Guarded([&] { Deliver(image); }, this); });
    connect(&m_media->capture, &QImageCapture::errorOccurred, this,
            [this](int, QImageCapture::Error, const QString& text) {
                ShowState(QStringLiteral("Die Aufnahme ist fehlgeschlagen: ") + text);
            });
}

TCameraFrameCAPI::~TCameraFrameCAPI() = default;

void TCameraFrameCAPI::CamConnect() {
    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    if (device.isNull()) {
        ShowState(QStringLiteral("Es ist keine Kamera angeschlossen."));
        btSave->setEnabled(false);
        return;
    }
    m_media->camera = std::make_unique<QCamera>(device);
    m_media->session.setCamera(m_media->camera.get());
    m_media->camera->start();
    ShowState(device.description());
}

void TCameraFrameCAPI::CamSave() {
    if (!m_media->camera || !m_media->capture.isReadyForCapture()) {
        ShowState(QStringLiteral("Die Kamera ist nicht bereit."));
        return;
    }
    m_media->capture.capture();
}

// ---------------------------------------------------------------------------------------------
// Module 1

struct TCameraFrameJPEG::Net {
    QNetworkAccessManager manager;
    QTimer refresh;
    QLabel* picture = nullptr;
    QPointer<QNetworkReply> pending;
};

TCameraFrameJPEG::TCameraFrameJPEG(QWidget* parent) : TCameraFrame(parent), m_net(std::make_unique<Net>()) {
    setObjectName(QStringLiteral("TCameraFrameJPEG"));
    m_net->picture = new QLabel(m_view);
    m_net->picture->setAlignment(Qt::AlignCenter);
    m_net->picture->setAccessibleName(QStringLiteral("Kamerabild"));
    m_view->layout()->addWidget(m_net->picture);
    m_net->refresh.setInterval(1000);
    connect(&m_net->refresh, &QTimer::timeout, this, [this] { fetch(false); });
}

TCameraFrameJPEG::~TCameraFrameJPEG() {
    if (m_net->pending)
        m_net->pending->abort();
}

void TCameraFrameJPEG::CamConnect() {
    const QUrl url = QUrl::fromUserInput(m_address);
    if (m_address.isEmpty() || !url.isValid()) {
        ShowState(QStringLiteral("Für die Netzwerkkamera ist keine Adresse eingerichtet (Einstellung "
                                 "\"Kamera.JPEGAdresse\")."));
        btSave->setEnabled(false);
        return;
    }
    fetch(false);
    m_net->refresh.start();
}

void TCameraFrameJPEG::CamSave() { fetch(true); }

void TCameraFrameJPEG::fetch(bool save) {
    if (m_net->pending && !save)
        return;
    QNetworkRequest request(QUrl::fromUserInput(m_address));
    request.setTransferTimeout(10000);
    QNetworkReply* reply = m_net->manager.get(request);
    m_net->pending = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, save] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            ShowState(QStringLiteral("Die Netzwerkkamera antwortet nicht: ") + reply->errorString());
            return;
        }
        QImage image;
        image.loadFromData(reply->readAll(), "JPEG");
        if (image.isNull()) {
            ShowState(QStringLiteral("Die Netzwerkkamera liefert kein JPEG-Bild."));
            return;
        }
        m_last = image;
        m_net->picture->setPixmap(QPixmap::fromImage(image.scaled(m_view->size(), Qt::KeepAspectRatio)));
        if (save)
            Rtl::Guarded([&] { Deliver(image); }, this);
    });
}

// ---------------------------------------------------------------------------------------------
// Fake

TCameraFrameFake::TCameraFrameFake(QWidget* parent, QImage picture)
    : TCameraFrame(parent), m_picture(std::move(picture)) {
    setObjectName(QStringLiteral("TCameraFrameFake"));
    auto* label = new QLabel(m_view);
    label->setPixmap(QPixmap::fromImage(m_picture.scaled(320, 240, Qt::KeepAspectRatio)));
    m_view->layout()->addWidget(label);
}

void TCameraFrameFake::CamConnect() {
    m_connected = true;
    ShowState(QStringLiteral("Testkamera"));
}

} // namespace Ashgrove
