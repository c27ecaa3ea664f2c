#pragma once
// The common components' tab sheet: the grid library's page with the components' own defaults.
// Its Tag is a plain number, never a text number.

#include "cxPC.h"

class TVoskTabSheet final : public TcxTabSheet {
    Q_OBJECT
public:
    explicit TVoskTabSheet(QWidget* parent = nullptr) : TcxTabSheet(parent) {}
};
