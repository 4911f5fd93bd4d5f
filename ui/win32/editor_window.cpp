// The entry editor window. Controls are laid out in twips; option buttons are checked by
// the window itself (not by the system's automatic grouping) because txNo and txFnAdd sit
// between them in the tab order.
#include "ui/win32/editor_window.h"

#include <algorithm>

#include "platform/win32/utf16.h"
#include "ui/editor.h"
#include "ui/editor_texts.h"
#include "ui/win32/address_drop.h"
#include "ui/win32/browse_dialog.h"

namespace vexal {
namespace {

constexpr double kClientWidth = 7800;
constexpr double kClientHeight = 7815;

// The layout, in twips of the client area.
namespace place {
constexpr TwipRect CbSelect{120, 120, 4800, 3000};  // the height includes the open list
constexpr TwipRect CbTouroku{5040, 105, 1260, 375};
constexpr TwipRect CbDelete{6420, 105, 1260, 375};
constexpr TwipRect Frame1{120, 600, 7560, 5925};
constexpr TwipRect Label1{240, 780, 3000, 240};
constexpr TwipRect TxUrl{240, 1035, 7320, 315};
constexpr TwipRect Frame3{240, 1470, 3000, 3435};
constexpr TwipRect Frame2{3360, 1470, 1500, 1680};
constexpr TwipRect Frame5{4980, 1470, 2580, 1680};
constexpr TwipRect Frame4{3360, 3240, 4200, 1665};
constexpr TwipRect Label2{240, 5025, 3000, 240};
constexpr TwipRect TxComment{240, 5280, 7320, 1125};
constexpr TwipRect CbPreview{3660, 6690, 1260, 375};
constexpr TwipRect CbSetWP{5040, 6690, 1260, 375};
constexpr TwipRect CbEnd{6420, 6690, 1260, 375};
constexpr TwipRect LbSchedule{120, 6750, 900, 240};
constexpr TwipRect CbSchedule{1020, 6690, 1800, 2700};  // the height includes the open list, all 8 items
constexpr TwipRect LbLastRun{120, 7155, 7560, 240};
constexpr TwipRect LbSettingsFile{120, 7470, 7560, 240};
// The colour around the picture, right of the comment's caption.
constexpr TwipRect CkBackColour{4980, 4990, 1200, 260};
constexpr TwipRect CbBackColour{6180, 4965, 840, 300};
constexpr TwipRect LbBackSwatch{7100, 5005, 460, 220};
}  // namespace place

constexpr double kRowStep = 345;
constexpr double kCheckHeight = 285;
TwipRect CheckRow(const TwipRect& frame, int i, double width, double step = kRowStep, double top = 255) {
    return {frame.Left + 120, static_cast<std::int32_t>(frame.Top + top + i * step),
            static_cast<std::int32_t>(width), static_cast<std::int32_t>(kCheckHeight)};
}
// The five kinds of picture and the five styles beside them are a little closer together
// than the rows of the other groups.
constexpr double kExtRowStep = 280, kExtTop = 240;
// Five styles and the check box of a picture for each screen in the style frame.
TwipRect StyleRow(int i) {
    constexpr double kStep = 232;
    return {place::Frame5.Left + 120, static_cast<std::int32_t>(place::Frame5.Top + kExtTop + i * kStep),
            place::Frame5.Width - 240, static_cast<std::int32_t>(kStep)};
}
TwipRect ChoiceRow(int i) {
    return {place::Frame4.Left + 120, place::Frame4.Top + 240 + i * 345, place::Frame4.Width - 240, 315};
}

std::string WindowTextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return win32::Narrow(text);
}

}  // namespace

Win32EditorWindow::Win32EditorWindow(Language language)
    : language_(language), texts_(EditorTextsIn(language)) {
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    CreateTopLevel(WS_EX_CONTROLPARENT, style, kClientWidth, kClientHeight);
    const DWORD tab = WS_TABSTOP;
    // The frames lie under the controls they hold, and draw themselves again whenever they
    // are enabled or disabled, as choosing an entry does: clipped to what their siblings
    // leave, their captions no longer wipe the top edge of a box just below.
    const DWORD kFrameStyle = BS_GROUPBOX | WS_CLIPSIBLINGS;

    // Creation order is tab order.
    cbSelect_ = AddControl(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | tab, kCbSelect);
    cbTouroku_ = AddControl(WC_BUTTONW, texts_.cbTouroku, BS_PUSHBUTTON | tab, kCbTouroku);
    cbDelete_ = AddControl(WC_BUTTONW, texts_.cbDelete, BS_PUSHBUTTON | tab, kCbDelete);
    Frame1_ = AddControl(WC_BUTTONW, "", kFrameStyle, kFrame1);
    Label1_ = AddControl(WC_STATICW, texts_.Label1, SS_LEFT | SS_NOPREFIX, kLabel1);
    txUrl_ = AddControl(WC_EDITW, "", ES_AUTOHSCROLL | tab, kTxUrl, WS_EX_CLIENTEDGE);
    cbBrowseFile_ = AddControl(WC_BUTTONW, texts_.cbBrowseFile, BS_PUSHBUTTON | tab, kCbBrowseFile);
    cbBrowseFolder_ = AddControl(WC_BUTTONW, texts_.cbBrowseFolder, BS_PUSHBUTTON | tab, kCbBrowseFolder);
    Frame3_ = AddControl(WC_BUTTONW, texts_.Frame3, kFrameStyle, kFrame3);
    for (int i = 0; i < 7; ++i)
        ckFilter_[i] = AddControl(WC_BUTTONW, texts_.ckFilter[i], BS_AUTOCHECKBOX | tab, kCkFilter0 + i);
    Frame2_ = AddControl(WC_BUTTONW, texts_.Frame2, kFrameStyle, kFrame2);
    for (int i = 0; i < 5; ++i)
        ckExt_[i] = AddControl(WC_BUTTONW, texts_.ckExt[i], BS_AUTOCHECKBOX | tab, kCkExt0 + i);
    Frame5_ = AddControl(WC_BUTTONW, texts_.Frame5, kFrameStyle, kFrame5);
    for (int i = 0; i < static_cast<int>(opWp_.size()); ++i)
        opWp_[i] = AddControl(WC_BUTTONW, texts_.opWp[i], BS_RADIOBUTTON | tab | (i == 0 ? WS_GROUP : 0),
                              kOpWp0 + i);
    ckEachScreen_ =
        AddControl(WC_BUTTONW, texts_.ckEachScreen, BS_AUTOCHECKBOX | tab | WS_GROUP, kCkEachScreen);
    Frame4_ = AddControl(WC_BUTTONW, texts_.Frame4, kFrameStyle, kFrame4);
    // txNo with scNo, and txFnAdd, sit in the blanks of the captions of opNo(0) and opNo(1),
    // right of the round mark, so Tab reaches each box just after its button. The button
    // comes first in the order of the controls and so lies on top; PlaceInBlank cuts the
    // boxes' places out of it, so it neither paints over them nor takes their clicks.
    opNo_[0] = AddControl(WC_BUTTONW, texts_.opNo[0], BS_RADIOBUTTON | tab | WS_GROUP, kOpNo0);
    txNo_ = AddControl(WC_EDITW, "", ES_AUTOHSCROLL | ES_RIGHT | tab | WS_GROUP, kTxNo, WS_EX_CLIENTEDGE);
    // The spin: an up-down control whose arrows only report a step; the window keeps the
    // position (-1, 0, +1) the presenter reads and resets.
    scNo_ = AddControl(UPDOWN_CLASSW, "", UDS_ARROWKEYS, kScNo);
    ::SendMessageW(scNo_, UDM_SETRANGE32, static_cast<WPARAM>(-1), 1);
    ::SendMessageW(scNo_, UDM_SETPOS32, 0, 0);
    opNo_[1] = AddControl(WC_BUTTONW, texts_.opNo[1], BS_RADIOBUTTON | tab | WS_GROUP, kOpNo0 + 1);
    txFnAdd_ = AddControl(WC_EDITW, "", ES_AUTOHSCROLL | tab | WS_GROUP, kTxFnAdd, WS_EX_CLIENTEDGE);
    opNo_[2] = AddControl(WC_BUTTONW, texts_.opNo[2], BS_RADIOBUTTON | tab | WS_GROUP, kOpNo0 + 2);
    lbMinWidthLead_ =
        AddControl(WC_STATICW, texts_.lbMinWidthLead, SS_LEFT | SS_NOPREFIX | WS_GROUP, kLbMinWidthLead);
    txMinWidth_ =
        AddControl(WC_EDITW, "", ES_AUTOHSCROLL | ES_RIGHT | tab | WS_GROUP, kTxMinWidth, WS_EX_CLIENTEDGE);
    lbMinWidthTail_ = AddControl(WC_STATICW, texts_.lbMinWidthTail, SS_LEFT | SS_NOPREFIX, kLbMinWidthTail);
    ckBackColour_ =
        AddControl(WC_BUTTONW, texts_.ckBackColour, BS_AUTOCHECKBOX | tab | WS_GROUP, kCkBackColour);
    cbBackColour_ = AddControl(WC_BUTTONW, texts_.cbBackColour, BS_PUSHBUTTON | tab, kCbBackColour);
    lbBackSwatch_ = AddControl(WC_STATICW, "", SS_LEFT | WS_BORDER, kLbBackSwatch);
    Label2_ = AddControl(WC_STATICW, texts_.Label2, SS_LEFT | SS_NOPREFIX | WS_GROUP, kLabel2);
    // The comment's lines are not wrapped but scroll sideways: under Wine, wrapping measures
    // what is left of a paragraph again for every line it breaks off, so a comment with long
    // lines (200 kB pasted from a page) held the window for seconds each time it was shown.
    txComment_ = AddControl(
        WC_EDITW, "",
        ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | tab,
        kTxComment, WS_EX_CLIENTEDGE);
    lbSchedule_ = AddControl(WC_STATICW, texts_.lbSchedule, SS_LEFT | SS_NOPREFIX | WS_GROUP, kLbSchedule);
    cbSchedule_ = AddControl(WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | tab | WS_GROUP, kCbSchedule);
    for (const char* item : texts_.cbSchedule)
        ::SendMessageW(cbSchedule_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Widen(item).c_str()));
    // The last-run line wraps (SS_LEFT breaks lines) and the window grows by the lines a long
    // message needs, so all of it shows. SS_NOTIFY: a static control is transparent to the
    // mouse without it, and its tool tip, which holds the message too, would never show.
    lbLastRun_ = AddControl(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kLbLastRun);
    cbPreview_ = AddControl(WC_BUTTONW, texts_.cbPreview, BS_PUSHBUTTON | tab | WS_GROUP, kCbPreview);
    cbSetWP_ = AddControl(WC_BUTTONW, texts_.cbSetWP, BS_PUSHBUTTON | tab, kCbSetWP);
    cbEnd_ = AddControl(WC_BUTTONW, texts_.cbEnd, BS_PUSHBUTTON | tab, kCbEnd);
    // SS_PATHELLIPSIS: a path wider than the window keeps its file name in sight.
    lbSettingsFile_ =
        AddControl(WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS | SS_NOTIFY, kLbSettingsFile);

    // An edit control takes at most 30,000 characters from the keyboard by default; a long
    // address loaded from the settings file must stay editable as a whole.
    for (HWND edit : {txUrl_, txNo_, txFnAdd_, txMinWidth_, txComment_})
        ::SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);

    // The frames go to the bottom of the order: they are no tab stops, and they lie under
    // the controls they hold.
    for (HWND frame : {Frame5_, Frame4_, Frame3_, Frame2_, Frame1_})
        ::SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    tooltips_ = win32::CreateToolTips(hwnd());
    for (int i = 0; i < 7; ++i) win32::AddToolTip(tooltips_, ckFilter_[i], texts_.ckFilterTip[i]);
    win32::AddToolTip(tooltips_, txMinWidth_, texts_.txMinWidthTip);
    win32::AddToolTip(tooltips_, ckEachScreen_, texts_.ckEachScreenTip);
    win32::AddToolTip(tooltips_, ckExt_[4], texts_.ckExtNewerTip);
    win32::AddToolTip(tooltips_, ckBackColour_, texts_.ckBackColourTip);
    win32::AddToolTip(tooltips_, cbBackColour_, texts_.ckBackColourTip);
    win32::AddToolTip(tooltips_, lbSettingsFile_, "");
    for (int i = 0; i < 3; ++i) win32::AddToolTip(tooltips_, opNo_[i], texts_.opNoTip[i]);
    win32::AddToolTip(tooltips_, cbSchedule_, texts_.cbScheduleTip);
    win32::AddToolTip(tooltips_, lbLastRun_, "");
    win32::AddToolTip(tooltips_, cbBrowseFile_, texts_.cbBrowseFileTip);
    win32::AddToolTip(tooltips_, cbBrowseFolder_, texts_.cbBrowseFolderTip);
    Layout();

    // Files and folders dropped from the file manager arrive as WM_DROPFILES from a source
    // that does not speak OLE (and from Wine's X11 bridge); a browser's links only through OLE.
    ::DragAcceptFiles(hwnd(), TRUE);
    ole_ = SUCCEEDED(::OleInitialize(nullptr));
    if (ole_) {
        auto* target =
            new win32::AddressDropTarget(hwnd(), [this](const std::wstring& a) { FillAddress(a); });
        if (SUCCEEDED(::RegisterDragDrop(hwnd(), target)))
            dropTarget_ = target;
        else
            target->Release();
    }
}

Win32EditorWindow::~Win32EditorWindow() {
    if (dropTarget_) {
        ::RevokeDragDrop(hwnd());
        dropTarget_->Release();
    }
    if (ole_) ::OleUninitialize();
    if (swatchBrush_) ::DeleteObject(swatchBrush_);
}

void Win32EditorWindow::Layout() {
    // The tips are Japanese too, and the tool tips' own font may have no glyphs for them;
    // they take the window's font anew whenever it changes with the DPI.
    if (tooltips_) ::SendMessageW(tooltips_, WM_SETFONT, reinterpret_cast<WPARAM>(font()), FALSE);
    Place(cbSelect_, place::CbSelect);
    Place(cbTouroku_, place::CbTouroku);
    Place(cbDelete_, place::CbDelete);
    Place(Frame1_, place::Frame1);
    Place(Label1_, place::Label1);
    PlaceAddressRow();
    Place(Frame3_, place::Frame3);
    for (int i = 0; i < 7; ++i) Place(ckFilter_[i], CheckRow(place::Frame3, i, place::Frame3.Width - 240));
    Place(Frame2_, place::Frame2);
    for (int i = 0; i < 5; ++i)
        Place(ckExt_[i], CheckRow(place::Frame2, i, place::Frame2.Width - 240, kExtRowStep, kExtTop));
    Place(Frame5_, place::Frame5);
    // The styles and the check box below them share the frame's height, a little closer still.
    for (int i = 0; i < static_cast<int>(opWp_.size()); ++i) Place(opWp_[i], StyleRow(i));
    Place(ckEachScreen_, StyleRow(static_cast<int>(opWp_.size())));
    Place(Frame4_, place::Frame4);
    for (int i = 0; i < 3; ++i) Place(opNo_[i], ChoiceRow(i));
    PlaceInBlank(opNo_[0], ChoiceRow(0), texts_.opNo0Lead, texts_.opNo0Blanks, txNo_, scNo_);
    PlaceInBlank(opNo_[1], ChoiceRow(1), texts_.opNo1Lead, texts_.opNo1Blanks, txFnAdd_, nullptr);
    PlaceMinWidthRow(ChoiceRow(3));
    Place(ckBackColour_, place::CkBackColour);
    Place(cbBackColour_, place::CbBackColour);
    Place(lbBackSwatch_, place::LbBackSwatch);
    Place(Label2_, place::Label2);
    Place(txComment_, place::TxComment);
    Place(lbSchedule_, place::LbSchedule);
    Place(cbSchedule_, place::CbSchedule);
    FitLastRun();
    Place(cbPreview_, place::CbPreview);
    Place(cbSetWP_, place::CbSetWP);
    Place(cbEnd_, place::CbEnd);
}

void Win32EditorWindow::FitLastRun() {
    const int dpi = static_cast<int>(this->dpi());
    const RECT line = win32::TwipsToPixels(place::LbLastRun, dpi);
    const int width = line.right - line.left;
    const int oneLine = line.bottom - line.top;
    // Measured as the static control draws it: words broken at the control's width.
    const std::wstring text = win32::Widen(WindowTextOf(lbLastRun_));
    constexpr UINT kMeasure = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
    RECT need{0, 0, width, 0};
    RECT single{0, 0, width, 0};
    HDC dc = ::GetDC(lbLastRun_);
    HGDIOBJ old = ::SelectObject(dc, font());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, kMeasure);
    ::DrawTextW(dc, L"X", 1, &single, kMeasure);
    ::SelectObject(dc, old);
    ::ReleaseDC(lbLastRun_, dc);
    // A message of one line keeps the line's own place; each further line adds its height.
    const int height = oneLine + std::max<int>(0, need.bottom - single.bottom);
    ::MoveWindow(lbLastRun_, line.left, line.top, width, height, TRUE);
    // The settings file's line stays under the last-run line, however many lines that takes.
    const RECT file = win32::TwipsToPixels(place::LbSettingsFile, dpi);
    ::MoveWindow(lbSettingsFile_, file.left, file.top + height - oneLine, file.right - file.left,
                 file.bottom - file.top, TRUE);
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE));
    const SIZE outer =
        win32::OuterSize(win32::TwipsToPixels(kClientWidth, dpi),
                         win32::TwipsToPixels(kClientHeight, dpi) + height - oneLine, style, exStyle, dpi);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32EditorWindow::PlaceInBlank(HWND button, const TwipRect& buttonRect, const std::string& lead,
                                     int blanks, HWND first, HWND second) {
    // Where the caption's run of full-width blanks starts and how wide it is, measured in
    // the window's font: after the button's mark, its gap, and the text before the blanks.
    HDC dc = ::GetDC(button);
    HGDIOBJ old = ::SelectObject(dc, font());
    SIZE leadSize{0, 0}, blankSize{0, 0};
    const std::wstring leadText = win32::Widen(lead);
    const std::wstring blankText(static_cast<std::size_t>(blanks), L'\u3000');
    if (!leadText.empty())
        ::GetTextExtentPoint32W(dc, leadText.c_str(), static_cast<int>(leadText.size()), &leadSize);
    ::GetTextExtentPoint32W(dc, blankText.c_str(), static_cast<int>(blankText.size()), &blankSize);
    ::SelectObject(dc, old);
    ::ReleaseDC(button, dc);

    const RECT r = win32::TwipsToPixels(buttonRect, dpi());
    const int mark = ::MulDiv(13 + 4, static_cast<int>(dpi()), 96);
    const int height = r.bottom - r.top;
    const int start = r.left + mark + leadSize.cx;
    const int spinWidth = second ? ::MulDiv(17, static_cast<int>(dpi()), 96) : 0;
    const int firstWidth =
        std::max<int>(blankSize.cx - spinWidth - 2, ::MulDiv(24, static_cast<int>(dpi()), 96));
    ::SetWindowPos(first, nullptr, start, r.top, firstWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (second)
        ::SetWindowPos(second, nullptr, start + firstWidth, r.top, spinWidth, height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    // The button keeps all of its row but the boxes' place (button coordinates).
    HRGN shape = ::CreateRectRgn(0, 0, r.right - r.left, height);
    HRGN hole = ::CreateRectRgn(start - r.left, 0, start - r.left + firstWidth + spinWidth, height);
    ::CombineRgn(shape, shape, hole, RGN_DIFF);
    ::DeleteObject(hole);
    ::SetWindowRgn(button, shape, TRUE);  // the window owns the region from here on
}

void Win32EditorWindow::PlaceAddressRow() {
    const int dpi = static_cast<int>(this->dpi());
    auto captionWidth = [this, dpi](HWND button) {
        HDC dc = ::GetDC(button);
        HGDIOBJ old = ::SelectObject(dc, font());
        const std::string caption = WindowTextOf(button);
        const std::wstring text = win32::Widen(caption);
        SIZE size{0, 0};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        ::SelectObject(dc, old);
        ::ReleaseDC(button, dc);
        // Room for the button's edges and a margin on either side of the caption.
        return size.cx + ::MulDiv(16, dpi, 96);
    };
    const RECT r = win32::TwipsToPixels(place::TxUrl, dpi);
    const int gap = ::MulDiv(4, dpi, 96);
    // The buttons stand a pixel above and below the box, as tall as a push button's caption needs.
    const int top = r.top - ::MulDiv(1, dpi, 96);
    const int height = r.bottom - r.top + 2 * ::MulDiv(1, dpi, 96);
    const int folderWidth = captionWidth(cbBrowseFolder_);
    const int fileWidth = captionWidth(cbBrowseFile_);
    const int folderLeft = r.right - folderWidth;
    const int fileLeft = folderLeft - gap - fileWidth;
    ::SetWindowPos(cbBrowseFolder_, nullptr, folderLeft, top, folderWidth, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(cbBrowseFile_, nullptr, fileLeft, top, fileWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(txUrl_, nullptr, r.left, r.top, std::max<int>(fileLeft - gap - r.left, 0),
                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32EditorWindow::PlaceMinWidthRow(const TwipRect& row) {
    HDC dc = ::GetDC(lbMinWidthLead_);
    HGDIOBJ old = ::SelectObject(dc, font());
    SIZE leadSize{0, 0};
    const std::wstring leadText = win32::Widen(texts_.lbMinWidthLead);
    ::GetTextExtentPoint32W(dc, leadText.c_str(), static_cast<int>(leadText.size()), &leadSize);
    ::SelectObject(dc, old);
    ::ReleaseDC(lbMinWidthLead_, dc);

    // The captions start where the option buttons' captions do, after their round mark,
    // and the statics sit on the box's text line.
    const int dpi = static_cast<int>(this->dpi());
    const RECT r = win32::TwipsToPixels(row, dpi);
    const int height = r.bottom - r.top;
    const int gap = ::MulDiv(4, dpi, 96);
    const int textTop = r.top + ::MulDiv(3, dpi, 96);
    int x = r.left + ::MulDiv(13 + 4, dpi, 96);
    ::SetWindowPos(lbMinWidthLead_, nullptr, x, textTop, leadSize.cx, height - (textTop - r.top),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    x += leadSize.cx + gap;
    const int boxWidth = ::MulDiv(56, dpi, 96);
    ::SetWindowPos(txMinWidth_, nullptr, x, r.top, boxWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
    x += boxWidth + gap;
    ::SetWindowPos(lbMinWidthTail_, nullptr, x, textTop, std::max<int>(r.right - x, 0),
                   height - (textTop - r.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32EditorWindow::ShowWindow() {
    if (!centred_) {
        centred_ = true;
        win32::CentreOnMonitor(hwnd());
    }
    // Brought forward by a later start, a minimised editor comes back as it was.
    ::ShowWindow(hwnd(), ::IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

void Win32EditorWindow::HideWindow() { ::ShowWindow(hwnd(), SW_HIDE); }

HWND Win32EditorWindow::Control(EditorControl control, int index) const {
    auto pick = [index](const auto& array) -> HWND {
        return index >= 0 && static_cast<std::size_t>(index) < array.size() ? array[index] : nullptr;
    };
    switch (control) {
        case EditorControl::cbTouroku:
            return cbTouroku_;
        case EditorControl::cbDelete:
            return cbDelete_;
        case EditorControl::cbPreview:
            return cbPreview_;
        case EditorControl::cbSetWP:
            return cbSetWP_;
        case EditorControl::cbEnd:
            return cbEnd_;
        case EditorControl::Frame2:
            return Frame2_;
        case EditorControl::Frame3:
            return Frame3_;
        case EditorControl::Frame4:
            return Frame4_;
        case EditorControl::Frame5:
            return Frame5_;
        case EditorControl::ckFilter:
            return pick(ckFilter_);
        case EditorControl::ckExt:
            return pick(ckExt_);
        case EditorControl::opWp:
            return pick(opWp_);
        case EditorControl::opNo:
            return pick(opNo_);
        case EditorControl::txUrl:
            return txUrl_;
        case EditorControl::txComment:
            return txComment_;
        case EditorControl::txNo:
            return txNo_;
        case EditorControl::txFnAdd:
            return txFnAdd_;
        case EditorControl::scNo:
            return scNo_;
        case EditorControl::txMinWidth:
            return txMinWidth_;
        case EditorControl::cbSchedule:
            return cbSchedule_;
        case EditorControl::lbLastRun:
            return lbLastRun_;
        case EditorControl::ckEachScreen:
            return ckEachScreen_;
        case EditorControl::ckBackColour:
            return ckBackColour_;
        case EditorControl::cbBackColour:
            return cbBackColour_;
        case EditorControl::lbSettingsFile:
            return lbSettingsFile_;
    }
    return nullptr;
}

std::string Win32EditorWindow::Text(EditorControl box) const {
    switch (box) {
        case EditorControl::txUrl:
        case EditorControl::txComment:
        case EditorControl::txNo:
        case EditorControl::txFnAdd:
        case EditorControl::txMinWidth:
            return WindowTextOf(Control(box, 0));
        default:
            return {};
    }
}

void Win32EditorWindow::SetText(EditorControl box, const std::string& text) {
    HWND control = Control(box, 0);
    if (!control || box == EditorControl::scNo || box == EditorControl::cbSchedule) return;
    ++settingText_;
    ::SetWindowTextW(control, win32::Widen(text).c_str());
    --settingText_;
    if (box == EditorControl::lbLastRun) {
        win32::SetToolTip(tooltips_, lbLastRun_, text);
        FitLastRun();
    }
    if (box == EditorControl::lbSettingsFile) {
        ++settingText_;
        ::SetWindowTextW(control, win32::Widen(texts_.lbSettingsFileLead + text).c_str());
        --settingText_;
        win32::SetToolTip(tooltips_, lbSettingsFile_, text);
    }
}

bool Win32EditorWindow::IsChecked(EditorControl control, int index) const {
    if (control == EditorControl::cbSchedule) return ::SendMessageW(cbSchedule_, CB_GETCURSEL, 0, 0) == index;
    HWND button = Control(control, index);
    return button && ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32EditorWindow::SetChecked(EditorControl control, int index, bool checked) {
    if (control == EditorControl::cbSchedule) {
        if (checked) ::SendMessageW(cbSchedule_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    HWND button = Control(control, index);
    if (!button) return;
    ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // Selecting an option button clears the others of its group.
    auto clearOthers = [button](const auto& group) {
        for (HWND other : group)
            if (other != button) ::SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
    };
    if (checked && control == EditorControl::opWp) clearOthers(opWp_);
    if (checked && control == EditorControl::opNo) clearOthers(opNo_);
    if (control == EditorControl::opNo) RedrawBlanks();
}

void Win32EditorWindow::RedrawBlanks() {
    // An option button lies on top of the boxes in its caption's blanks (see the
    // constructor), and under Wine it paints over them, borders and spin arrows included,
    // whenever it is checked, cleared, enabled or disabled; nothing else makes them draw
    // themselves again.
    for (HWND box : {txNo_, scNo_, txFnAdd_})
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Win32EditorWindow::SetEnabled(EditorControl control, int index, bool enabled) {
    if (HWND c = Control(control, index)) ::EnableWindow(c, enabled ? TRUE : FALSE);
    if (control == EditorControl::opNo) RedrawBlanks();
    // The captions of the width read as one line with their box.
    if (control == EditorControl::txMinWidth)
        for (HWND label : {lbMinWidthLead_, lbMinWidthTail_}) ::EnableWindow(label, enabled ? TRUE : FALSE);
}

void Win32EditorWindow::ClearList() { ::SendMessageW(cbSelect_, CB_RESETCONTENT, 0, 0); }

void Win32EditorWindow::AddListItem(const std::string& text) {
    ::SendMessageW(cbSelect_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Widen(text).c_str()));
}

std::string Win32EditorWindow::ListItemText(int index) const {
    const LRESULT length = ::SendMessageW(cbSelect_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = ::SendMessageW(cbSelect_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return win32::Narrow(text);
}

int Win32EditorWindow::SelectedListItem() const {
    const LRESULT selected = ::SendMessageW(cbSelect_, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void Win32EditorWindow::SelectListItem(int index) {
    ::SendMessageW(cbSelect_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32EditorWindow::SetColour(EditorControl control, std::uint32_t colour) {
    if (control != EditorControl::cbBackColour) return;
    if (swatchBrush_) ::DeleteObject(swatchBrush_);
    swatchBrush_ = ::CreateSolidBrush(RGB((colour >> 16) & 255, (colour >> 8) & 255, colour & 255));
    ::InvalidateRect(lbBackSwatch_, nullptr, TRUE);
}

void Win32EditorWindow::FillAddress(const std::wstring& address) {
    // Not through SetText: the change reports itself as typing does.
    ::SetWindowTextW(txUrl_, address.c_str());
    ::SendMessageW(txUrl_, EM_SETSEL, static_cast<WPARAM>(address.size()),
                   static_cast<LPARAM>(address.size()));
}

void Win32EditorWindow::OnCommand(int id, int code) {
    if ((id == kCbBrowseFile || id == kCbBrowseFolder) && code == BN_CLICKED) {
        const std::wstring chosen =
            win32::Browse(hwnd(), id == kCbBrowseFile ? win32::BrowseFor::File : win32::BrowseFor::Folder,
                          win32::Widen(WindowTextOf(txUrl_)), language_);
        if (!chosen.empty()) {
            FillAddress(chosen);
            ::SetFocus(txUrl_);
        }
        return;
    }
    if (!presenter_) return;
    if (id >= kOpWp0 && id < kOpWp0 + static_cast<int>(opWp_.size()) && code == BN_CLICKED) {
        SetChecked(EditorControl::opWp, id - kOpWp0, true);
        return;
    }
    if (id >= kOpNo0 && id < kOpNo0 + 3 && code == BN_CLICKED) {
        SetChecked(EditorControl::opNo, id - kOpNo0, true);
        return;
    }
    switch (id) {
        case kCbSelect:
            // A changed selection reports itself; choosing the item that is already
            // selected only closes the list, and must run the handler all the same.
            if (code == CBN_DROPDOWN) {
                droppedAt_ = SelectedListItem();
                changedWhileDropped_ = false;
            } else if (code == CBN_SELCHANGE) {
                changedWhileDropped_ = true;
                presenter_->cbSelect_Click();
            } else if (code == CBN_SELENDOK) {
                const bool same =
                    droppedAt_ >= 0 && !changedWhileDropped_ && SelectedListItem() == droppedAt_;
                droppedAt_ = -1;
                if (same) presenter_->cbSelect_Click();
            }
            break;
        case kTxUrl:
            if (code == EN_CHANGE && settingText_ == 0) presenter_->txUrl_Change();
            break;
        case kCbTouroku:
            if (code == BN_CLICKED) presenter_->cbTouroku_Click();
            break;
        case kCbDelete:
            if (code == BN_CLICKED) presenter_->cbDelete_Click();
            break;
        case kCbPreview:
            if (code == BN_CLICKED) presenter_->cbPreview_Click();
            break;
        case kCbSetWP:
            if (code == BN_CLICKED) presenter_->cbSetWP_Click();
            break;
        case kCbEnd:
            if (code == BN_CLICKED) presenter_->cbEnd_Click();
            break;
        case kCbBackColour:
            if (code == BN_CLICKED) presenter_->cbBackColour_Click();
            break;
        default:
            break;
    }
}

bool Win32EditorWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            result = 0;
            return true;
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            const std::wstring address =
                ::IsWindowEnabled(hwnd()) ? win32::AddressFromDrop(drop) : std::wstring();
            ::DragFinish(drop);
            if (!address.empty()) FillAddress(address);
            result = 0;
            return true;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == kScNo && header->code == UDN_DELTAPOS) {
                const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
                // The upper arrow increases the number.
                spinPosition_ = change->iDelta > 0 ? 1 : (change->iDelta < 0 ? -1 : 0);
                if (presenter_ && spinPosition_ != 0) presenter_->scNo_Change();
                result = TRUE;  // the control keeps no position of its own
                return true;
            }
            return false;
        }
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == lbBackSwatch_ && swatchBrush_) {
                result = reinterpret_cast<LRESULT>(swatchBrush_);
                return true;
            }
            return false;
        case WM_CLOSE:
            // Closing the window ends the program without saving, unless the presenter's
            // question about unsaved changes is answered otherwise; a window that stays
            // simply ignores the close.
            if (presenter_) static_cast<void>(presenter_->Form_Unload());
            result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace vexal
