#pragma once
// Form1: the program's one window. It owns its controls, made from the layout
// table, their event handlers and the conversion flow with its two fields
// (AutoRetrieve and LastResult), and implements the flow's view operations on
// the controls. Its code lies in four files by job, and the declarations below
// are grouped by the file that holds them: form1.cpp (the window itself),
// control_factory.cpp (making it), owner_draw.cpp and chrome.cpp.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32/form/control_state.h"
#include "win32/form/gdi_cache.h"
#include "win32/form/handles.h"
#include "win32/form/logo.h"
#include "win32/form/scene.h"
#include "win32/system_function.h"
#include "window/flow.h"
#include "window/layout.h"

namespace kavrel::win32 {

// How Label4 ends the program: at once, with no further handler running.
using EndProgram = std::function<void()>;

using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
using SetTimerFunction = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);

// The system calls the window makes that leave no trace to read back: the
// shell's open call (bound by name at its first call) and the timer's start.
// Tests watch them through stand-ins.
struct SystemCalls {
    SystemFunction<ShellExecuteFunction> shellExecuteA{"shell32.dll", "ShellExecuteA"};
    SetTimerFunction setTimer = ::SetTimer;
};

// The button of a mouse-down event, numbered as the window's handlers have
// always numbered it.
enum class MouseButton { Left = 1, Right = 2, Middle = 4 };

class Form1 final : public ConversionView {
public:
    // control_factory.cpp: creates the window and its controls at `dpi` dots
    // per inch and runs Form_Load; the window is shown by Show.
    Form1(HINSTANCE instance, int dpi, PageFetcher getCD, EndProgram endProgram, SystemCalls calls = {});
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // form1.cpp, but for the chrome's handlers (chrome.cpp).
    void Show(int how);
    HWND Handle() const { return window_.get(); }
    HWND Control(layout::ControlId id) const { return controls_[layout::IndexOf(id)].window; }

    // Event handlers.
    void Form_Load();
    void Command1_Click() { flow_.Command1_Click(); }
    void Check1_Click() { flow_.Check1_Click(); }
    void Timer1_Timer() { flow_.Timer1_Timer(); }
    void txtAm_Change();
    void Label3_MouseDown(MouseButton button);  // chrome.cpp
    void Label9_MouseDown(MouseButton button);  // chrome.cpp
    void Label4_Click();                        // chrome.cpp
    void Image2_Click();                        // chrome.cpp

    // The amount box keeps its digits only, the caret after the last one.
    void onlyNumber(std::u16string text);
    // A paste into the amount box: its digits only, in place of the selection.
    void PasteDigits(HWND box);

    // ConversionView
    std::u16string FromText() override;
    std::u16string ToText() override;
    std::u16string AmountText() override;
    void SetAmountText(const std::u16string& digits) override;
    void SetStatusText(const std::u16string& status) override;
    void SetConvertEnabled(bool enabled) override;
    void SetMousePointer(MousePointer pointer) override;
    bool ProcessPendingEvents() override;
    void SetResultText(const std::u16string& result) override;
    CheckBoxValue AutoRetrieveBoxValue() override;

private:
    // form1.cpp: the procedures, the dispatch by control, start-up and focus.
    static LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK ItemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // The amount box's subclass: a paste arrives filtered (PasteDigits); the
    // box's own procedure handles all the rest.
    static LRESULT CALLBACK AmountBoxProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnFormMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnPaint();
    void OnCommand(int windowId, int notification);
    void OnCheck1Clicked();
    void OnActivate(WPARAM state);
    void OnDestroy();
    void OnNcDestroy();
    void FillBox(HWND box);
    void RefreshCursor();
    void ShowLabelsAndImages();
    void RestoreFocus();
    ControlState* StateOf(HWND control);
    ControlState* ItemOf(HWND window);
    Scene CurrentScene();

    // control_factory.cpp
    void CreateFormWindow();
    void CreateControls();
    void CreateControl(ControlState& state);
    void Subclass(HWND control, WNDPROC procedure);
    // The procedure a subclassed control had before, which handles all the rest.
    static LRESULT CallSystemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void ShowHintOf(const ControlState& state, WPARAM keys, LPARAM point);
    int ComboCreationHeight(const layout::Control& control);
    void FitCombo(const ControlState& state);

    // owner_draw.cpp
    // The flat drop-down boxes' subclass: the box's own procedure paints, then
    // the flat frame is drawn over its edge.
    static LRESULT CALLBACK FlatComboProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnControlColour(UINT message, HDC dc, HWND control);
    void OnDrawButton(const DRAWITEMSTRUCT& item);
    void PaintFlatFrame(HWND combo);

    // chrome.cpp: labels and images, press tracking, drag, close and the logo link.
    LRESULT OnItemMessage(ControlState& item, UINT message, WPARAM wparam, LPARAM lparam);
    void OnItemButtonDown(const ControlState& item, MouseButton button);
    void OnItemLeftButtonUp(const ControlState& item, LPARAM point);
    void DragWindow(MouseButton button);
    // Opens a document through the shell with no parameters; its answer is not asked.
    void ShellOpen(const std::u16string& document, std::int32_t show);

    HINSTANCE instance_;
    int dpi_;
    EndProgram endProgram_;
    SystemCalls system_;
    // The hint window's library, loaded when the mouse first rests on a control with a hint.
    SystemFunction<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)> initCommonControlsEx_{"comctl32.dll",
                                                                                     "InitCommonControlsEx"};
    GdiCache gdi_;
    IconHandle icon_;
    IconHandle smallIcon_;
    Logo logo_;
    std::vector<ControlState> controls_;
    ConversionFlow flow_;

    // Declared after what they use, so that the windows go first.
    WindowClass formClass_;
    WindowClass itemClass_;
    WindowHandle window_;
    WindowHandle hints_;
    std::array<WNDPROC, layout::kControlCount> systemProcedures_{};  // of the subclassed controls
    bool busy_ = false;
    bool quitsWhenClosed_ = false;
    HWND pressed_ = nullptr;    // the label or image a left button went down on
    HWND lastFocus_ = nullptr;  // given back when the window is activated again
    // What a drop-down box adds to its text field's height once that has been
    // set (6 pixels under Wine); a box that misses the layout's height measures it.
    int comboFrame_ = 6;
};

}  // namespace kavrel::win32
