#pragma once
// The system data module of the common components: the image lists that tool bars and buttons of
// every form share. Created on first use, lives as long as the application, unless a host brings it
// up with an owner (ModulInitialize); Current() is null before that and once it is destroyed.

#include "VoskControls.h"

class TDMSys final : public QObject {
    Q_OBJECT
public:
    static TDMSys* Instance();
    static TDMSys* Current();
    static TDMSys* ModulInitialize(QObject* owner);

    TImageList* ImageList() const { return m_imageList; }
    TImageList* ImageListHot() const { return m_imageListHot; }

    // Pictures the forms address by number.
    static constexpr int ImageClose = 0;
    static constexpr int ImageOk = 28;
    static constexpr int ImageMinimize = 317;
    static constexpr int ImageCount = 400;

    // Whether the number has a picture in the table, and the theme names tried for it in order.
    static bool HasThemeIcon(int index);
    static QStringList ThemeIconNames(int index);
    // The icon of the program and its windows.
    static QIcon AppIcon();

private:
    TDMSys();
    TImageList* m_imageList;
    TImageList* m_imageListHot;
};

// DMSys, as the forms call it.
inline TDMSys* DMSys() { return TDMSys::Instance(); }
