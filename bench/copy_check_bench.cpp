// Cost of the check after a folder copy against the copy itself: a folder of 10,000 files in
// 100 folders is copied with the shell's copy, as the copy commands do, and the copy is then
// compared with the item. Prints the times of each round and their medians. Run by
// copy_check_bench.py under Wine; not a test.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

#include "copied_tree.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool writeFile(const std::wstring& path, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(size, 'x');
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return written == size;
}

int shellOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags)
{
    std::wstring fromList = from + L'\0';
    std::wstring toList = to + L'\0';
    SHFILEOPSTRUCTW request = {};
    request.wFunc = operation;
    request.pFrom = fromList.c_str();
    request.pTo = to.empty() ? nullptr : toList.c_str();
    request.fFlags = flags;
    return SHFileOperationW(&request) != 0 || request.fAnyOperationsAborted ? -1 : 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int folders = 100;
    const int filesPerFolder = argc > 1 ? _wtoi(argv[1]) / folders : 100;
    const int rounds = argc > 2 ? _wtoi(argv[2]) : 3;

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"vantrel_copy_check_bench";
    const std::wstring item = root + L"\\Project";
    shellOperation(FO_DELETE, root, L"", FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(item.c_str(), nullptr);
    for (int f = 0; f < folders; ++f) {
        std::wstring folder = item + L"\\folder" + std::to_wstring(f);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < filesPerFolder; ++i)
            if (!writeFile(folder + L"\\file" + std::to_wstring(i) + L".txt", 1000 + (i * 37) % 3000)) return 1;
    }
    printf("files %d\n", folders * filesPerFolder);

    std::vector<double> copies, checks;
    for (int round = 0; round < rounds; ++round) {
        const std::wstring copy = root + L"\\Project_copy" + std::to_wstring(round);
        LARGE_INTEGER start, copied, checked;
        QueryPerformanceCounter(&start);
        if (shellOperation(FO_COPY, item, copy, FOF_ALLOWUNDO) != 0) return 2;
        QueryPerformanceCounter(&copied);
        wchar_t difference[MAX_PATH];
        int result = compareCopiedTree(item.c_str(), copy.c_str(), difference, MAX_PATH);
        QueryPerformanceCounter(&checked);
        if (result != CopyComplete) return 3;
        copies.push_back(seconds(start, copied));
        checks.push_back(seconds(copied, checked));
        printf("round %d copy %.3f s check %.3f s\n", round + 1, copies.back(), checks.back());
        shellOperation(FO_DELETE, copy, L"", FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
    }
    printf("median copy %.3f s check %.3f s ratio %.4f\n", median(copies), median(checks),
           median(checks) / median(copies));
    shellOperation(FO_DELETE, root, L"", FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
    return 0;
}
