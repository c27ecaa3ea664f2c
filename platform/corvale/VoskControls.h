#pragma once
// The plain controls that form resources of the system are built from: panels, tool bars and the
// maker's tool button, and the image lists they draw from. A hint is a widget's tool tip; whether
// it shows is the "ShowHint" property, as forms switch hints on and off per control.

#include <QColor>
#include <QFrame>
#include <QIcon>
#include <QPointer>
#include <QToolButton>
#include <QVariant>

#include <vector>

class QBoxLayout;

// A fixed list of pictures addressed by index, as the tool bars and buttons take them.
class TImageList final : public QObject {
    Q_OBJECT
public:
    explicit TImageList(QObject* parent = nullptr, int count = 0);
    int Count() const { return int(m_icons.size()); }
    QIcon Icon(int index) const; // a null icon outside 0..Count()-1
    void SetIcon(int index, const QIcon& icon);

private:
    std::vector<QIcon> m_icons;
};

class TPanel final : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);
    // Raised outer bevel, as panels are designed; false leaves a flat panel.
    void SetBevelOuter(bool raised);
    bool BevelOuter() const { return m_bevelOuter; }
    // Children added through this layout follow the panel's size (alLeft/alClient in a row).
    QBoxLayout* Layout() const { return m_layout; }

private:
    QBoxLayout* m_layout;
    bool m_bevelOuter = true;
};

class TToolBar final : public QFrame {
    Q_OBJECT
public:
    explicit TToolBar(QWidget* parent = nullptr);
    void SetImages(TImageList* images);
    void SetHotImages(TImageList* images) { m_hotImages = images; }
    TImageList* Images() const { return m_images; }
    TImageList* HotImages() const { return m_hotImages; }
    void SetButtonHeight(int height) { m_buttonHeight = height; }
    int ButtonHeight() const { return m_buttonHeight; }
    // Buttons are laid out top to bottom in the order they were added.
    void AddButton(QToolButton* button);
    int ButtonCount() const;

private:
    QPointer<TImageList> m_images;
    QPointer<TImageList> m_hotImages;
    QBoxLayout* m_layout;
    int m_buttonHeight = 22;
};

// The maker's tool button: its picture comes from the tool bar's image list by ImageIndex.
class TVoskToolButton final : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
public:
    explicit TVoskToolButton(QWidget* parent = nullptr);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int index);
    void UpdateIcon();

private:
    int m_imageIndex = -1;
};

namespace Corvale {
// Hint of a control (its tool tip) or of another component (its "Hint" property).
QString Hint(const QObject* comp);
void SetHint(QObject* comp, const QString& hint);
bool ShowHint(const QObject* comp);
void SetShowHint(QObject* comp, bool show);
} // namespace Corvale

// The maker's button: a tool button that carries a value for its handler (a record id).
class TVoskButton2 : public QToolButton {
    Q_OBJECT
public:
    explicit TVoskButton2(QWidget* parent = nullptr);
    QVariant DataValue() const { return m_dataValue; }
    void SetDataValue(const QVariant& value) { m_dataValue = value; }

private:
    QVariant m_dataValue;
};

namespace Voskcontrols {
// The colours of every module window's header strip; a host may change them before the first
// module opens.
extern QColor ColorTopLabel;
extern QColor ColorTopLabelFont;
} // namespace Voskcontrols
