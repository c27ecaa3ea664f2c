// The address module's tab "Parameter": the record parameters of the current address.

#include "TFormAdress.h"

#include "TVoskClass.h"
#include "TVoskPageControl2.h"
#include "UFrameRecnoEnumGrid.h"
#include "Vcl.Components.h"

#include <QHBoxLayout>

void TFormAdress::CreateParameterTab() {
    TabParameter = Vcl::Owned(this, new QWidget(PageControlAdresse), QStringLiteral("TabParameter"));
    auto* layout = new QHBoxLayout(TabParameter);
    layout->setContentsMargins(0, 0, 0, 0);
    FrameRecnoEnumGrid = Vcl::Owned(this, new TFrameRecnoEnumGrid(this, TabParameter),
                                    QStringLiteral("FrameRecnoEnumGrid"));
    layout->addWidget(FrameRecnoEnumGrid, 1);
    PageControlAdresse->addTab(TabParameter, QStringLiteral("Parameter"));
}
