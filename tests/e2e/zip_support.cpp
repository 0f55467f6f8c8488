// Support of the ZIP commands' end-to-end tests.
#include "zip_fixture.h"

#include <shlobj.h>

#include "archiver_api.h"

namespace e2e {

void ZipTest::SetUp()
{
    ASSERT_TRUE(makeSandbox(&sandbox, kHereZip));
    wchar_t bin[MAX_PATH] = L"";
    ASSERT_TRUE(GetEnvironmentVariableW(L"VANTREL_BIN_DIR", bin, MAX_PATH));
    for (const wchar_t* name : {kThereZip, kArchiverFile}) {
        std::wstring source = std::wstring(bin) + L"\\" + name;
        ASSERT_TRUE(CopyFileW(source.c_str(), (sandbox.programFolder + name).c_str(), FALSE)) << narrow(source);
    }
}

::testing::AssertionResult ZipTest::settings(std::map<std::wstring, std::wstring> keys)
{
    keys.emplace(L"Lang", L"en");
    keys.emplace(L"AutoClose", L"1");
    return writeSettings(sandbox, keys);
}

std::wstring ZipTest::file(const std::wstring& relative, const std::string& bytes)
{
    std::wstring path = sandbox.data + relative;
    makeFolders(path.substr(0, path.find_last_of(L'\\')));
    EXPECT_TRUE(writeFile(path, bytes)) << narrow(path);
    return path;
}

void ZipTest::makeEntries(const std::vector<std::pair<std::string, std::string>>& entries)
{
    for (const auto& entry : entries) {
        std::wstring relative = widen(entry.first);
        for (wchar_t& c : relative) c = c == L'/' ? L'\\' : c;
        if (!relative.empty() && relative.back() == L'\\') EXPECT_TRUE(makeFolders(sandbox.data + relative.substr(0, relative.size() - 1)));
        else file(relative, entry.second);
    }
}

::testing::AssertionResult findArchive(const std::wstring& folder, const std::wstring& base,
                                       const std::wstring& extension, std::wstring* archive)
{
    std::vector<std::wstring> matches;
    for (const std::wstring& name : namesIn(folder)) {
        if (isTimeStampedName(name, base, extension + L".zip")) matches.push_back(name);
    }
    if (matches.size() != 1)
        return ::testing::AssertionFailure() << matches.size() << " archives of " << narrow(base + extension) << " in "
                                             << narrow(folder);
    *archive = folder + matches[0];
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult namesFlaggedUtf8(const std::wstring& archive)
{
    std::vector<zipread::Entry> entries;
    ::testing::AssertionResult read = zipread::readArchive(archive, &entries);
    if (!read) return read;
    for (const zipread::Entry& entry : entries) {
        bool wide = false;
        for (char c : entry.name) wide = wide || (static_cast<unsigned char>(c) > 0x7F);
        if (wide && !entry.utf8Flag) return ::testing::AssertionFailure() << entry.name << " lacks the UTF-8 flag";
    }
    return ::testing::AssertionSuccess();
}

HWND findProgressWindow(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    driver::waitUntil([&] {
        for (HWND window = FindWindowW(ARCHIVER_PROGRESS_CLASS, nullptr); window;
             window = FindWindowExW(nullptr, window, ARCHIVER_PROGRESS_CLASS, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs, 1);
    return found;
}

::testing::AssertionResult cancelProgress(HWND progress)
{
    // Sent, not posted: the window has handled the press when this returns. The item must keep
    // the library busy for a while, so that the press comes before the end of the run.
    DWORD_PTR answer = 0;
    bool pressed = IsWindow(progress) &&
                   SendMessageTimeoutW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                                       reinterpret_cast<LPARAM>(GetDlgItem(progress, IDCANCEL)), SMTO_ABORTIFHUNG,
                                       5000, &answer) != 0;
    if (!pressed) return ::testing::AssertionFailure() << "the progress window was gone before Cancel";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult chooseFolderSurely(HWND dialog, DWORD processId, const std::wstring& folder)
{
    std::wstring shown;
    if (driver::chooseInFolderDialog(dialog, processId, folder, &shown)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the dialog did not select " << narrow(folder) << " (it showed "
                                         << narrow(shown) << ")";
}

bool readMessageBoxLooking(HWND box, driver::IconKind icon, driver::MessageBoxInfo* info)
{
    // The icon is read from the screen, where a window of a test running beside this one may lie
    // over it for a moment: look again a few times before taking another icon as the answer.
    for (int look = 0; look < 5; ++look) {
        if (!driver::readMessageBox(box, info)) return false;
        if (info->icon == icon) return true;
        Sleep(300);
    }
    return true;
}

::testing::AssertionResult answerBox(const driver::Program& program, const std::wstring& title,
                                     const std::wstring& text, driver::IconKind icon)
{
    HWND box = driver::findMessageBox(program.id, 15000);
    if (!box) return ::testing::AssertionFailure() << "no message box appeared (expected \"" << narrow(text) << "\")";
    driver::MessageBoxInfo info;
    if (!readMessageBoxLooking(box, icon, &info)) return ::testing::AssertionFailure() << "message box vanished";
    driver::pressButton(box, IDOK);
    driver::waitGone(box, 5000);
    if (info.title != title) return ::testing::AssertionFailure() << "title \"" << narrow(info.title) << "\"";
    if (info.text != text)
        return ::testing::AssertionFailure() << "text \"" << narrow(info.text) << "\" (expected \"" << narrow(text) << "\")";
    if (info.icon != icon) return ::testing::AssertionFailure() << "icon " << driver::iconKindName(info.icon);
    return ::testing::AssertionSuccess();
}

HWND findFolderDialog(DWORD processId, DWORD timeoutMs)
{
    HWND found = nullptr;
    driver::waitUntil([&] {
        for (HWND window : driver::windowsOf(processId, true)) {
            // Neither the result window nor a message box (whose text is control 0xFFFF).
            if (driver::className(window) == L"#32770" && !GetDlgItem(window, kStatusId) &&
                !GetDlgItem(window, 0xFFFF)) {
                found = window;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

}  // namespace e2e
