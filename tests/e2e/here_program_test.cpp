// TazuHere end to end, the program itself: the resources it carries (icon sizes, menu, result
// window template, manifest, version block) and its hidden main window (the notification
// icon's callback shows a hidden result window again; the menu command ends the program).
#include "here_fixture.h"

#include <algorithm>

namespace e2e {
namespace {

class HereProgram : public HereTest {
protected:
    HMODULE loadResources()
    {
        std::wstring exe = sandbox.programFolder + kHere;
        return LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
};

// Reads a string or ordinal of a dialog template and moves past it.
std::wstring templateText(const WORD** cursor)
{
    const WORD* p = *cursor;
    std::wstring text;
    if (*p == 0xFFFF) {
        text = L"#" + std::to_wstring(p[1]);
        *cursor = p + 2;
        return text;
    }
    while (*p) text += static_cast<wchar_t>(*p++);
    *cursor = p + 1;
    return text;
}

const WORD* alignToDword(const WORD* p)
{
    return reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~static_cast<ULONG_PTR>(3));
}

struct ControlTemplate {
    DWORD id;
    DWORD style;
    short x, y, cx, cy;
    std::wstring cls;
    std::wstring text;
};

TEST_F(HereProgram, CarriesItsResources)
{
    HMODULE module = loadResources();
    ASSERT_TRUE(module);

    // Icon 102 in 16, 32, 48 and 256 pixels (256 is stored as 0).
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(102), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_TRUE(group);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) sizes.push_back(directory[6 + i * 14] == 0 ? 256 : directory[6 + i * 14]);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ((std::vector<int>{16, 32, 48, 256}), sizes);

    // Menu 103 with its one item.
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(103));
    ASSERT_TRUE(menu);
    EXPECT_EQ(1, GetMenuItemCount(menu));
    EXPECT_EQ(40001u, GetMenuItemID(menu, 0));
    wchar_t label[64] = L"";
    GetMenuStringW(menu, 0, label, 64, MF_BYPOSITION);
    EXPECT_STREQ(L"終了(&X)", label);
    DestroyMenu(menu);

    // Manifest: common controls 6, per-monitor awareness (v2, then v1), no elevation.
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), reinterpret_cast<LPCWSTR>(RT_MANIFEST));
    ASSERT_TRUE(manifest);
    std::string xml(static_cast<const char*>(LockResource(LoadResource(module, manifest))), SizeofResource(module, manifest));
    for (const char* needle : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                               ">PerMonitorV2, PerMonitor</dpiAwareness>", ">true/pm</dpiAware>",
                               "level=\"asInvoker\""}) {
        SCOPED_TRACE(needle);
        EXPECT_NE(std::string::npos, xml.find(needle));
    }

    // Dialog 101: the result window's template.
    HRSRC dialog = FindResourceW(module, MAKEINTRESOURCEW(101), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    ASSERT_TRUE(dialog);
    const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(module, dialog)));
    ASSERT_EQ(1, p[0]);
    ASSERT_EQ(0xFFFF, p[1]);
    DWORD exStyle = *reinterpret_cast<const DWORD*>(p + 4);
    DWORD style = *reinterpret_cast<const DWORD*>(p + 6);
    WORD items = p[8];
    const short* box = reinterpret_cast<const short*>(p + 9);
    EXPECT_EQ(161, box[2]);
    EXPECT_EQ(51, box[3]);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_NE(static_cast<DWORD>(WS_CAPTION), style & WS_CAPTION);
    EXPECT_TRUE(style & DS_CENTER);
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    p += 13;
    templateText(&p);  // menu
    templateText(&p);  // class
    templateText(&p);  // title
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(10, p[0]);
    p += 3;
    EXPECT_EQ(L"ＭＳ Ｐゴシック", templateText(&p));
    std::vector<ControlTemplate> controls;
    for (WORD i = 0; i < items; ++i) {
        p = alignToDword(p);
        ControlTemplate control;
        control.style = *reinterpret_cast<const DWORD*>(p + 4);
        const short* rect = reinterpret_cast<const short*>(p + 6);
        control.x = rect[0];
        control.y = rect[1];
        control.cx = rect[2];
        control.cy = rect[3];
        control.id = *reinterpret_cast<const DWORD*>(p + 10);
        p += 12;
        control.cls = templateText(&p);
        control.text = templateText(&p);
        p += 1 + p[0] / 2;
        controls.push_back(control);
    }
    struct Expected {
        DWORD id;
        short x, y, cx, cy;
        const wchar_t* text;
        DWORD alignment;
        DWORD flags;
        bool visible;
    } expected[] = {
        {1004, 90, 2, 51, 8, L"", SS_LEFT, SS_NOTIFY, true},
        {1002, 142, 4, 8, 8, L"-", SS_CENTER, SS_NOTIFY | WS_TABSTOP, true},
        {1003, 153, 2, 8, 8, L"x", SS_CENTER, SS_CENTERIMAGE | SS_NOTIFY | WS_TABSTOP, true},
        {1005, 7, 10, 147, 8, L"", SS_LEFT, SS_ENDELLIPSIS, true},
        {1001, 7, 22, 147, 8, L"", SS_CENTER, SS_CENTERIMAGE, true},
        {1006, 50, 34, 62, 8, L"", SS_CENTER, SS_NOTIFY, false},
    };
    ASSERT_EQ(6u, controls.size());
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.id);
        auto found = std::find_if(controls.begin(), controls.end(), [&](const ControlTemplate& c) { return c.id == e.id; });
        ASSERT_NE(controls.end(), found);
        EXPECT_EQ(L"#130", found->cls);  // static
        EXPECT_EQ(e.text, found->text);
        EXPECT_EQ(e.x, found->x);
        EXPECT_EQ(e.y, found->y);
        EXPECT_EQ(e.cx, found->cx);
        EXPECT_EQ(e.cy, found->cy);
        EXPECT_EQ(e.alignment, found->style & SS_TYPEMASK);
        EXPECT_EQ(e.flags, found->style & e.flags);
        EXPECT_EQ(e.visible, (found->style & WS_VISIBLE) != 0);
    }
    FreeLibrary(module);

    // Version block.
    std::wstring exe = sandbox.programFolder + kHere;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> version(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, version.data()));
    struct Value {
        const wchar_t* key;
        const wchar_t* text;
    } values[] = {{L"InternalName", L"TazuHere"}, {L"OriginalFilename", L"TazuHere.exe"}, {L"ProductName", L"Vantrel"}};
    for (const Value& v : values) {
        SCOPED_TRACE(narrow(v.key));
        wchar_t* text = nullptr;
        UINT length = 0;
        std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + v.key;
        ASSERT_TRUE(VerQueryValueW(version.data(), query.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_STREQ(v.text, text);
    }
}

TEST_F(HereProgram, NotificationIconShowsAHiddenResultWindowAgain)
{
    ASSERT_TRUE(settings(L"en"));
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(sandbox.data + L"missing"), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    HWND box = driver::findMessageBox(program->id, 10000);
    ASSERT_TRUE(box);
    // The hidden main window: the program's name as class and title, never shown.
    HWND main = driver::findWindow(program->id, L"TazuHere", L"TazuHere", 5000, false);
    ASSERT_TRUE(main);
    EXPECT_FALSE(driver::isVisible(main));
    struct Case {
        const char* label;
        UINT mouse;
        bool shows;
    } cases[] = {
        {"mouse move", WM_MOUSEMOVE, false},
        {"left double click", WM_LBUTTONDBLCLK, true},
        {"left button press", WM_LBUTTONDOWN, false},
        {"right button press", WM_RBUTTONDOWN, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        driver::clickChild(result, kHideId);
        ASSERT_TRUE(driver::waitUntil([&] { return !driver::isVisible(result); }, 2000));
        PostMessageW(main, WM_APP + 1, 1, c.mouse);
        if (c.shows) {
            EXPECT_TRUE(driver::waitUntil([&] { return driver::isVisible(result); }, 2000));
        } else {
            Sleep(300);
            EXPECT_FALSE(driver::isVisible(result));
        }
    }
    EXPECT_FALSE(driver::isVisible(main));
    driver::pressButton(box, IDOK);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 5000));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
}

TEST_F(HereProgram, MenuCommandEndsTheProgram)
{
    ASSERT_TRUE(settings(L"en", 0));
    std::wstring item = file(L"report.txt", "report");
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    ASSERT_TRUE(waitForStatus(result, L"Success.", 10000));
    HWND main = driver::findWindow(program->id, L"TazuHere", L"TazuHere", 5000, false);
    ASSERT_TRUE(main);
    PostMessageW(main, WM_COMMAND, 40001, 0);
    EXPECT_TRUE(endsWith(*program, 0, 5000));
}

}  // namespace
}  // namespace e2e
