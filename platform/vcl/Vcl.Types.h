#pragma once
// Enumerations of the component layer that forms, dialogs and logs share. They carry Qt meta data
// so that logs and test failures print them by name ("fsMDIChild", "mrYes").

#include <QFlags>
#include <QMetaEnum>
#include <QObject>
#include <QString>

namespace Vcl {
Q_NAMESPACE

// Values as the forms store and compare them; mrNone means "no result yet". A question with
// command buttons answers with the id of the button pressed (TQuestion::commands), which may be
// negative: hence the fixed type.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrClose = 8,
    mrHelp = 9,
    mrAll = 12,
    mrNoToAll = 13,
    mrYesToAll = 14,
};
Q_ENUM_NS(TModalResult)

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
Q_ENUM_NS(TMsgDlgType)

enum TMsgDlgBtn {
    mbNone = 0,
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbAll = 0x80,
    mbNoToAll = 0x100,
    mbYesToAll = 0x200,
    mbHelp = 0x400,
    mbClose = 0x800,
};
Q_ENUM_NS(TMsgDlgBtn)
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_FLAG_NS(TMsgDlgButtons)

inline constexpr TMsgDlgButtons mbYesNo = TMsgDlgButtons(mbYes | mbNo);
inline constexpr TMsgDlgButtons mbYesNoCancel = TMsgDlgButtons(mbYes | mbNo | mbCancel);
inline constexpr TMsgDlgButtons mbOKCancel = TMsgDlgButtons(mbOK | mbCancel);

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TBorderStyle)

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
Q_ENUM_NS(TFormStyle)

enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter,
};
Q_ENUM_NS(TPosition)

enum TWindowState { wsNormal, wsMinimized, wsMaximized };
Q_ENUM_NS(TWindowState)

enum TCloseAction { caNone, caHide, caFree, caMinimize };
Q_ENUM_NS(TCloseAction)

// The modal result that answers a button.
TModalResult ModalResultOf(TMsgDlgBtn button);

// "fsMDIChild" for fsMDIChild; the number as text for a value outside the enumeration.
template <class E> QString EnumName(E value) {
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    const char* key = meta.valueToKey(int(value));
    return key ? QString::fromLatin1(key) : QString::number(int(value));
}

} // namespace Vcl

Q_DECLARE_OPERATORS_FOR_FLAGS(Vcl::TMsgDlgButtons)
