// TazuUAC's start of TazuSetting.
#include "setting_start.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "message_box.h"
#include "paths.h"

const BilingualText kStartSettingYourselfText = {
    L"TazuSettingを起動できませんでした。\nTazuSetting.exeをそのフォルダから起動してください。\n\n%s",
    L"TazuSetting could not be started for you.\nPlease start TazuSetting.exe from its folder.\n\n%s",
};

namespace {

// What the thread that asks the desktop's shell works on. It may outlive the wait for it (a hung
// file manager), so it lives on the heap and goes only with the answer.
struct DesktopStart {
    wchar_t programPath[kPathChars];
    int result;
};

DWORD WINAPI desktopStartThread(void* argument)
{
    DesktopStart* start = static_cast<DesktopStart*>(argument);
    start->result = g_desktopShellStart(start->programPath);
    return 0;
}

// The desktop's route, given up after boundMs: 0, or -1 when it did not start the program in time.
int desktopShellWithinBound(const wchar_t* programPath, DWORD boundMs)
{
    DesktopStart* start = static_cast<DesktopStart*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DesktopStart)));
    if (!start) return -1;
    copyText(start->programPath, kPathChars, programPath);
    start->result = -1;
    HANDLE thread = CreateThread(nullptr, 0, desktopStartThread, start, 0, nullptr);
    if (!thread) {
        HeapFree(GetProcessHeap(), 0, start);
        return -1;
    }
    bool answered = WaitForSingleObject(thread, boundMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    // A thread still waiting for the shell keeps its data; the process's end takes both.
    if (!answered) return -1;
    int result = start->result;
    HeapFree(GetProcessHeap(), 0, start);
    return result;
}

void release(IUnknown* object)
{
    if (object) object->Release();
}

// The desktop's folder view: its shell window (found through the collection of shell windows,
// which only the desktop user's shell serves), that window's browser and its active view. Returns
// the view's scripting object, or nullptr.
IShellFolderViewDual* findDesktopFolderView()
{
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* services = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* viewObject = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT noRoot;
    VariantInit(&noRoot);
    long window = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows))) &&
        windows->FindWindowSW(&location, &noRoot, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK &&
        desktop &&
        SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services))) &&
        SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                         reinterpret_cast<void**>(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&viewObject))))
        viewObject->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView));
    release(viewObject);
    release(view);
    release(browser);
    release(services);
    release(desktop);
    release(windows);
    return folderView;
}

// The shell's scripting object behind the desktop's view has the shell open the program.
int openThroughFolderView(IShellFolderViewDual* folderView, const wchar_t* programPath)
{
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    int result = -1;
    if (SUCCEEDED(folderView->get_Application(&application)) && application &&
        SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)))) {
        BSTR file = SysAllocString(programPath);
        BSTR verb = SysAllocString(L"open");
        VARIANT none;
        VariantInit(&none);
        VARIANT operation;
        VariantInit(&operation);
        operation.vt = VT_BSTR;
        operation.bstrVal = verb;
        VARIANT show;
        VariantInit(&show);
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        if (file && verb && SUCCEEDED(shell->ShellExecute(file, none, none, operation, show))) result = 0;
        SysFreeString(verb);
        SysFreeString(file);
    }
    release(shell);
    release(application);
    return result;
}

}  // namespace

int (*g_desktopShellStart)(const wchar_t* programPath) = startThroughDesktopShell;

int startThroughDesktopShell(const wchar_t* programPath)
{
    // Without a shell process there is no desktop to ask, and asking the system for the shell's
    // window collection would only wait for a server that never comes.
    if (!GetShellWindow()) return -1;
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = -1;
    IShellFolderViewDual* folderView = findDesktopFolderView();
    if (folderView) {
        result = openThroughFolderView(folderView, programPath);
        folderView->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}

int startSettingProgram(const wchar_t* programPath, DWORD boundMs, UiLanguage language)
{
    if (desktopShellWithinBound(programPath, boundMs) == 0) return SettingStartedByDesktopShell;
    // Started from here it would run with administrator rights: the user starts it instead.
    showMessageF(MB_ICONINFORMATION, language, kStartSettingYourselfText, programPath);
    return SettingLeftToUser;
}
