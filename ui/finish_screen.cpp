#include "ui/finish_screen.h"

#include "settings/derived_settings.h"

namespace zq {

Rect PictureRect(const Rect& windowRect) {
    const int width = windowRect.right - windowRect.left;
    const int height = windowRect.bottom - windowRect.top;
    return Rect{0, 0, width / 3, height * 4 / 5};
}

ControlColour FinishScreenColour(int controlId) {
    switch (controlId) {
        case kFinishHint:
        case kFinishHeadline:
        case kFinishBody:
        case kFinishCheckBox: return ControlColour::TransparentOnWhite;
        case 0: return ControlColour::WhiteDialog;
        default: return ControlColour::Default;
    }
}

CFinishScreen::CFinishScreen(Platform& platform, CLogFile& log) : platform_(platform), log_(log) {}

int CFinishScreen::DoModal() { return platform_.ui.RunModalDialog(*this); }

void CFinishScreen::OnInitDialog(IDialogWindow& window) {
    window.SetBoldFont(kFinishHeadline);
    window.SetBoldFont(kFinishBody);
    CIniFile settings(platform_, log_, settingsFilePath);
    WString texts[8];
    for (int number = 2; number <= 7; ++number) texts[number] = GetLangString(settings, number);
    // A missing text empties its control: no fall-back to the template.
    window.SetItemText(kFinishHeadline, texts[2]);
    window.SetItemText(kFinishHint, texts[5]);
    window.SetItemText(kFinishBody, texts[3]);
    window.SetItemText(kFinishCheckBox, texts[4]);
    window.SetItemText(kFinishButton, texts[6]);
    window.SetCaption(texts[7]);
    if (noRestart) {
        window.SetChecked(kFinishCheckBox, true);
        window.EnableItem(kFinishCheckBox, false);
    }
}

void CFinishScreen::OnCommand(IDialogWindow& window, int id) {
    if (id == kFinishButton) {
        // Nothing is tested or logged: a refused restart closes the dialog
        // all the same and leaves the computer running.
        if (!noRestart && !window.IsChecked(kFinishCheckBox)) {
            if (beforeRestart) beforeRestart();
            platform_.ui.RequestRestart(kRestartFlags, kRestartReason);
        }
        window.End(kIdOk);
        return;
    }
    IDialogHandler::OnCommand(window, id);
}

void CFinishScreen::OnPaint(IDialogWindow& window) {
    window.DrawBitmap(kFinishPicture, PictureRect(window.WindowRect()));
}

}  // namespace zq
