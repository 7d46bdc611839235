#pragma once
// Form1: the program's one window. It owns its controls, made from the layout
// table, their event handlers and the conversion flow with its two fields
// (AutoRetrieve and LastResult), and implements the flow's view operations on
// the controls.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Control k of the layout table has the identifier kFirstControlId + k (the
// timer uses its own as timer identifier).
inline constexpr int kFirstControlId = 1000;

class Form1 final : public ConversionView {
public:
    // Creates the window and its controls at `dpi` dots per inch and runs
    // Form_Load; the window is shown by Show.
    Form1(HINSTANCE instance, int dpi, PageFetcher getCD, EndProgram endProgram);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    void Show(int how);
    HWND Handle() const { return window_.get(); }
    HWND Control(std::string_view name) const;
    const ConversionFlow& Flow() const { return flow_; }

    // Event handlers.
    void Form_Load();
    void Command1_Click() { flow_.Command1_Click(); }
    void Check1_Click() { flow_.Check1_Click(); }
    void Timer1_Timer() { flow_.Timer1_Timer(); }
    void txtAm_Change();
    void Label3_MouseDown(int button, int shift, int x, int y);
    void Label9_MouseDown(int button, int shift, int x, int y);
    void Label4_Click();
    void Image2_Click();

    // The amount box keeps its digits only, the caret after the last one.
    void onlyNumber(std::u16string text);
    // Opens a document through the shell; no parameters is the null string.
    std::int32_t ShellOpen(const std::u16string& document, const std::optional<std::u16string>& parameters,
                           std::int32_t show);

    // ConversionView
    std::u16string FromText() override;
    std::u16string ToText() override;
    std::u16string AmountText() override;
    void SetAmountText(const std::u16string& digits) override;
    void SetStatusText(const std::u16string& status) override;
    void SetConvertEnabled(bool enabled) override;
    void SetMousePointer(MousePointer pointer) override;
    void ProcessPendingEvents() override;
    void SetResultText(const std::u16string& result) override;
    int AutoRetrieveBoxValue() override;

private:
    using MouseDownHandler = void (Form1::*)(int button, int shift, int x, int y);
    using ClickHandler = void (Form1::*)();

    static LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK ItemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK FlatComboProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                               UINT_PTR id, DWORD_PTR form);
    LRESULT OnFormMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnItemMessage(ControlState& item, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnControlColour(UINT message, HDC dc, HWND control);
    void OnCommand(int id, int notification);
    void OnCheck1Clicked();
    void OnDrawButton(const DRAWITEMSTRUCT& item);
    void OnItemButtonDown(const ControlState& item, int button, WPARAM keys, LPARAM point);
    void OnItemLeftButtonUp(const ControlState& item, LPARAM point);

    void CreateFormWindow();
    void CreateControls();
    void CreateControl(ControlState& state, int id);
    void AddHint(const ControlState& state);
    void FillBox(HWND box);
    void FitComboHeight(const ControlState& state);
    void PaintFlatFrame(HWND combo);
    void DragWindow(int button);
    void RefreshCursor();
    void RestoreFocus();
    ControlState& State(std::string_view name);
    const ControlState& State(std::string_view name) const;
    ControlState* StateOf(HWND control);
    ControlState* ItemOf(HWND window);
    Scene CurrentScene();

    ComApartment com_;
    HINSTANCE instance_;
    int dpi_;
    EndProgram endProgram_;
    GdiCache gdi_;
    IconHandle icon_;
    IconHandle smallIcon_;
    Logo logo_;
    std::vector<ControlState> controls_;
    ConversionFlow flow_;

    SystemFunction<decltype(&::ReleaseCapture)> releaseCapture_{"user32", "ReleaseCapture"};
    SystemFunction<decltype(&::SendMessageA)> sendMessageA_{"user32", "SendMessageA"};
    SystemFunction<HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT)> shellExecuteA_{"shell32.dll",
                                                                                                "ShellExecuteA"};

    // Declared after what they use, so that the windows go first.
    WindowClass formClass_;
    WindowClass itemClass_;
    WindowHandle window_;
    WindowHandle hints_;
    bool busy_ = false;
    bool quitsWhenClosed_ = false;
    HWND pressed_ = nullptr;     // the label or image a left button went down on
    HWND lastFocus_ = nullptr;   // given back when the window is activated again
};

}  // namespace kavrel::win32
