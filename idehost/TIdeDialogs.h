#pragma once
// The IDE's splash screen, about box and options dialog.

#include "Vcl.Forms.h"

class QLabel;
class QListWidget;
class QTableWidget;
class TIdeServices;

// A plain TForm captioned "SplashScreen", as packages recognise it, with the packages' bitmaps and
// the current status line. The splash services exist while it lives.
class TIdeSplash final {
public:
    explicit TIdeSplash(TIdeServices& services);
    ~TIdeSplash();
    Vcl::TForm* Form() const { return m_form; }

private:
    TIdeServices& m_services;
    Vcl::TForm* m_form;
    QLabel* m_status;
    QListWidget* m_plugins;
};

class TIdeAboutBox final {
public:
    static void Execute(TIdeServices& services, QWidget* parent);
};

// Environment-variable overrides, environment and project options, and which known packages are
// disabled, written to the IDE's registry on OK.
class TIdeOptionsDialog final : public Vcl::TForm {
    Q_OBJECT
public:
    TIdeOptionsDialog(TIdeServices& services, QWidget* parent);
    static int Execute(TIdeServices& services, QWidget* parent);
    void Save();

    QTableWidget* GridOverrides;
    QTableWidget* GridEnvironment;
    QTableWidget* GridProject;
    QListWidget* ListPackages;

private:
    TIdeServices& m_services;
};
