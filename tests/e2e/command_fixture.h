// Fixture of the TazuThere, TazuRename and hand-off end-to-end tests: a sandbox per test with
// one command program (and optionally the stand-in settings program), files whose bytes must
// survive every run, and helpers for the settings file and the folder dialog.
#pragma once
#include "e2e_support.h"

#include <shlobj.h>

#include <set>

namespace e2e {

class CommandTest : public ::testing::Test {
protected:
    explicit CommandTest(const wchar_t* program) : programFile_(program) {}

    void SetUp() override { ASSERT_TRUE(makeSandbox(&sandbox, programFile_)); }

    void TearDown() override
    {
        // Whatever a run did (renames included), the bytes of every item made by file() still
        // lie somewhere below the data folder.
        std::multiset<std::string> present;
        for (const auto& entry : snapshotTree(sandbox.data)) present.insert(entry.second);
        for (const auto& item : items) {
            auto found = present.find(item.second);
            EXPECT_TRUE(found != present.end()) << "item lost: " << narrow(item.first);
            if (found != present.end()) present.erase(found);
        }
        EXPECT_TRUE(removeSandbox(&sandbox));
    }

    // "tazu.ini" with the defaults, English, auto close and the given keys.
    ::testing::AssertionResult settings(std::map<std::wstring, std::wstring> keys = {})
    {
        if (!keys.count(L"Lang")) keys[L"Lang"] = L"en";
        if (!keys.count(L"AutoClose")) keys[L"AutoClose"] = L"1";
        return writeSettings(sandbox, keys);
    }

    // "tazu_tmp.ini" as the settings program leaves it after "OK(No save)".
    ::testing::AssertionResult temporarySettings(std::map<std::wstring, std::wstring> keys)
    {
        std::wstring ini = sandbox.settingsFolder + L"tazu_tmp.ini";
        if (!keys.count(L"Lang")) keys[L"Lang"] = L"en";
        if (!keys.count(L"AutoClose")) keys[L"AutoClose"] = L"1";
        if (!writeFile(ini, std::string("\xFF\xFE", 2))) return ::testing::AssertionFailure() << "no tazu_tmp.ini";
        for (const auto& entry : keys)
            WritePrivateProfileStringW(L"Env", entry.first.c_str(), entry.second.c_str(), ini.c_str());
        return ::testing::AssertionSuccess();
    }

    std::wstring setting(const wchar_t* key)
    {
        wchar_t value[1024] = L"";
        GetPrivateProfileStringW(L"Env", key, L"<missing>", value, 1024,
                                 (sandbox.settingsFolder + L"tazu.ini").c_str());
        return value;
    }

    ::testing::AssertionResult start(const std::wstring& tail, driver::Program** program)
    {
        return run(&sandbox, programFile_, tail, program);
    }

    // A file of the data folder with the given bytes (its bytes are checked after the test).
    std::wstring file(const std::wstring& relative, const std::string& bytes)
    {
        std::wstring path = sandbox.data + relative;
        makeFolders(path.substr(0, path.find_last_of(L'\\')));
        writeFile(path, bytes);
        items[path] = bytes;
        return path;
    }

    // A folder of the data folder (without trailing backslash).
    std::wstring folder(const std::wstring& relative)
    {
        std::wstring path = sandbox.data + relative;
        makeFolders(path);
        return path;
    }

    // Items of a folder with a backup name of base and extension, as full paths.
    std::vector<std::wstring> backupsIn(const std::wstring& folderPath, const std::wstring& base,
                                        const std::wstring& extension)
    {
        std::vector<std::wstring> found;
        std::wstring prefix = folderPath;
        if (!prefix.empty() && prefix.back() != L'\\') prefix += L'\\';
        for (const std::wstring& name : namesIn(prefix))
            if (isTimeStampedName(name, base, extension)) found.push_back(prefix + name);
        return found;
    }

    // The next folder dialog of the program.
    HWND folderDialog(const driver::Program& program, DWORD timeoutMs = 10000)
    {
        return driver::findFolderDialog(program.id, timeoutMs);
    }

    // Selects a folder in the program's folder dialog and confirms it once the dialog shows the
    // selection; cancels the dialog when it never does.
    ::testing::AssertionResult choose(HWND dialog, const driver::Program& program, const std::wstring& path)
    {
        std::wstring shown;
        if (driver::chooseInFolderDialog(dialog, program.id, path, &shown)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the folder dialog did not select " << narrow(path) << " (it showed "
                                             << narrow(shown) << ")";
    }

    // Places the stand-in settings program beside the command as TazuSetting.exe, with the
    // behaviour of "answerer.txt" (none: the test writes per-command files itself).
    ::testing::AssertionResult standInSettingsProgram(const char* behaviour)
    {
        wchar_t testBin[MAX_PATH] = L"";
        if (!GetEnvironmentVariableW(L"VANTREL_TEST_BIN_DIR", testBin, MAX_PATH))
            return ::testing::AssertionFailure() << "VANTREL_TEST_BIN_DIR is not set";
        std::wstring source = std::wstring(testBin) + L"\\handoff_answerer.exe";
        if (!CopyFileW(source.c_str(), (sandbox.programFolder + L"TazuSetting.exe").c_str(), FALSE))
            return ::testing::AssertionFailure() << "cannot copy " << narrow(source);
        if (behaviour && !writeFile(sandbox.programFolder + L"answerer.txt", behaviour))
            return ::testing::AssertionFailure() << "cannot write answerer.txt";
        return ::testing::AssertionSuccess();
    }

    // The stand-in's record of an exchange: "started" or "finished", per command process.
    std::vector<std::string> standInRecords(const wchar_t* kind)
    {
        std::vector<std::string> records;
        for (const std::wstring& name : namesIn(sandbox.programFolder)) {
            if (name.rfind(std::wstring(kind) + L"_", 0) != 0 || name.size() < 4 ||
                name.substr(name.size() - 4) != L".txt")
                continue;
            std::string bytes;
            if (readFile(sandbox.programFolder + name, &bytes)) records.push_back(bytes);
        }
        return records;
    }

    Sandbox sandbox;
    std::map<std::wstring, std::string> items;

private:
    const wchar_t* programFile_;
};

}  // namespace e2e
