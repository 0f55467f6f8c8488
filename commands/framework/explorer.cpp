// File-manager integration: the shell's window collection, raising a window, and starting the
// file manager with the new item selected.
#include "explorer.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleauto.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wchar.h>

#include "explorer_url.h"

namespace {

constexpr int kListGrowth = 256;
constexpr int kWindowWaitRounds = 101;
constexpr DWORD kWindowWaitMilliseconds = 100;
// "/select,", a folder path plus an item name of at most 259 characters each, two quotes.
constexpr size_t kSelectParameterChars = 8 + 2 * MAX_PATH + 2;
// The collection's calls go to the file manager's process. One that stopped answering would hold
// the finished run forever; past this wait the collection counts as unavailable.
constexpr DWORD kCollectionAnswerMilliseconds = 5000;

// One look at the collection, shared by the waiting caller and the worker that calls the shell.
// Whichever lets go last frees it, so a caller that gave up never waits for a stuck worker.
struct CollectionJob {
    LONG holders;
    ExplorerWindowList list;
    int result;
};

// Workers that have not come back yet. Looks are made one after another, so one still out when
// the next begins is stuck in the shell, and the next would only get stuck behind it.
LONG g_collectionsOut = 0;

void startWithShell(const wchar_t* program, const wchar_t* parameters)
{
    ShellExecuteW(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL);
}

void pauseBySleeping(DWORD milliseconds)
{
    Sleep(milliseconds);
}

int growList(ExplorerWindowList* list)
{
    int capacity = list->capacity + kListGrowth;
    SIZE_T bytes = sizeof(ExplorerWindowEntry) * static_cast<SIZE_T>(capacity);
    HANDLE heap = GetProcessHeap();
    void* entries = list->entries ? HeapReAlloc(heap, HEAP_ZERO_MEMORY, list->entries, bytes)
                                  : HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes);
    if (!entries) return -1;
    list->entries = static_cast<ExplorerWindowEntry*>(entries);
    list->capacity = capacity;
    return 0;
}

// "LocationURL" of one collection item, or -1 when the property cannot be read.
int readLocationUrl(IDispatch* item, BSTR* url)
{
    *url = nullptr;
    OLECHAR name[] = L"LocationURL";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    if (FAILED(item->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return -1;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    if (FAILED(item->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                            nullptr, nullptr)))
        return -1;
    if (value.vt == VT_BSTR) {
        *url = value.bstrVal;   // handed over to the caller
        return 0;
    }
    VariantClear(&value);
    return 0;
}

void findEntryWindow(IDispatch* item, ExplorerWindowEntry* entry)
{
    IShellBrowser* browser = nullptr;
    if (FAILED(IUnknown_QueryService(item, SID_STopLevelBrowser, IID_IShellBrowser,
                                     reinterpret_cast<void**>(&browser))) || !browser)
        return;
    HWND inner = nullptr;
    if (SUCCEEDED(IUnknown_GetWindow(browser, &inner)) && inner) {
        entry->window = GetParent(inner);
        entry->placement.length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(entry->window, &entry->placement);
    }
    browser->Release();
}

// Walks the collection; returns 0, or -1 when it had to stop early.
int enumerateShellWindows(IShellWindows* windows, ExplorerWindowList* list)
{
    long count = 0;
    if (FAILED(windows->get_Count(&count))) return -1;
    for (long index = 0; index < count; ++index) {
        VARIANT position;
        VariantInit(&position);
        position.vt = VT_I4;
        position.lVal = index;
        IDispatch* item = nullptr;
        if (FAILED(windows->Item(position, &item)) || !item) continue;

        BSTR url = nullptr;
        if (readLocationUrl(item, &url) != 0) {
            item->Release();
            return -1;
        }
        ExplorerWindowEntry* entry = &list->entries[list->count];
        bool named = url && locationUrlToFolderPath(url, entry->folderPath, MAX_PATH) == 0;
        SysFreeString(url);
        if (!named) {
            ZeroMemory(entry, sizeof(*entry));
            item->Release();
            continue;
        }
        findEntryWindow(item, entry);
        item->Release();

        ++list->count;
        if (list->count >= list->capacity - 1 && growList(list) != 0) return -1;
    }
    return 0;
}

// Entry whose folder equals `folder`, ignoring case, or nullptr.
const ExplorerWindowEntry* findFolderWindow(const ExplorerWindowList* list, const wchar_t* folder)
{
    for (int i = 0; i < list->count; ++i) {
        if (CompareStringOrdinal(list->entries[i].folderPath, -1, folder, -1, TRUE) == CSTR_EQUAL)
            return &list->entries[i];
    }
    return nullptr;
}

} // namespace

int (*g_explorerCollect)(ExplorerWindowList* list) = collectExplorerWindows;
int (*g_explorerWalk)(ExplorerWindowList* list) = walkShellWindows;
DWORD g_explorerAnswerMilliseconds = kCollectionAnswerMilliseconds;
void (*g_explorerStart)(const wchar_t* program, const wchar_t* parameters) = startWithShell;
void (*g_explorerPause)(DWORD milliseconds) = pauseBySleeping;

void freeExplorerWindowList(ExplorerWindowList* list)
{
    if (list->entries) HeapFree(GetProcessHeap(), 0, list->entries);
    list->entries = nullptr;
    list->count = 0;
    list->capacity = 0;
}

// The shell's window collection, walked on the calling thread.
int walkShellWindows(ExplorerWindowList* list)
{
    if (!list->entries && growList(list) != 0) return kExplorerNoList;

    HRESULT init = CoInitialize(nullptr);
    IShellWindows* windows = nullptr;
    int rc = kExplorerNoCollection;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr,
                                   CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                                       CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                   IID_IShellWindows, reinterpret_cast<void**>(&windows))) &&
        windows) {
        rc = enumerateShellWindows(windows, list);
        windows->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return rc;
}

namespace {

void releaseCollectionJob(CollectionJob* job)
{
    if (InterlockedDecrement(&job->holders) != 0) return;
    freeExplorerWindowList(&job->list);
    HeapFree(GetProcessHeap(), 0, job);
}

DWORD WINAPI collectionWorker(void* parameter)
{
    CollectionJob* job = static_cast<CollectionJob*>(parameter);
    job->result = g_explorerWalk(&job->list);
    if (job->result == kExplorerNoList) job->result = kExplorerNoCollection;
    releaseCollectionJob(job);
    InterlockedDecrement(&g_collectionsOut);
    return 0;
}

} // namespace

int collectExplorerWindows(ExplorerWindowList* list)
{
    if (!list->entries && growList(list) != 0) return kExplorerNoList;
    if (InterlockedCompareExchange(&g_collectionsOut, 0, 0) != 0) return kExplorerNoCollection;

    CollectionJob* job = static_cast<CollectionJob*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CollectionJob)));
    if (!job) return kExplorerNoCollection;
    job->holders = 2;
    InterlockedIncrement(&g_collectionsOut);
    HANDLE worker = CreateThread(nullptr, 0, collectionWorker, job, 0, nullptr);
    if (!worker) {
        InterlockedDecrement(&g_collectionsOut);
        HeapFree(GetProcessHeap(), 0, job);
        return kExplorerNoCollection;
    }
    DWORD waited = WaitForSingleObject(worker, g_explorerAnswerMilliseconds);
    CloseHandle(worker);
    int rc = kExplorerNoCollection;
    if (waited == WAIT_OBJECT_0) {
        // The worker is done with the job: its list becomes the caller's.
        rc = job->result;
        freeExplorerWindowList(list);
        *list = job->list;
        job->list = {};
        if (!list->entries) growList(list);
    }
    releaseCollectionJob(job);
    return rc;
}

void bringToFront(HWND window)
{
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
}

void OpenFolderAndSelect(const wchar_t* folder, const wchar_t* itemName)
{
    wchar_t comparison[MAX_PATH];
    if (wcslen(folder) >= MAX_PATH) return;
    wcscpy(comparison, folder);
    size_t length = wcslen(comparison);
    if (length > 0 && comparison[length - 1] == L'\\') comparison[length - 1] = L'\0';

    ExplorerWindowList list = {};
    // Without a first list nothing is opened at all.
    if (g_explorerCollect(&list) == kExplorerNoList) return;
    const ExplorerWindowEntry* open = findFolderWindow(&list, comparison);
    if (open) {
        ShowWindow(open->window, raiseShowCommand(open->placement.showCmd));
        bringToFront(open->window);
        freeExplorerWindowList(&list);
        return;
    }
    freeExplorerWindowList(&list);

    wchar_t parameters[kSelectParameterChars];
    if (selectParameter(folder, itemName, parameters, kSelectParameterChars) != 0) return;
    wchar_t windowsFolder[MAX_PATH];
    wchar_t program[MAX_PATH + 16];
    UINT windowsLength = GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    if (windowsLength == 0 || windowsLength >= MAX_PATH) return;
    if (explorerProgramPath(windowsFolder, program, MAX_PATH + 16) != 0) return;
    g_explorerStart(program, parameters);

    for (int round = 0; round < kWindowWaitRounds; ++round) {
        g_explorerPause(kWindowWaitMilliseconds);
        ExplorerWindowList current = {};
        int collected = g_explorerCollect(&current);
        const ExplorerWindowEntry* shown = findFolderWindow(&current, comparison);
        HWND window = shown ? shown->window : nullptr;
        freeExplorerWindowList(&current);
        // Without a collection the new window can never be seen: waiting the whole ten seconds
        // would only hold back the end of the run.
        if (!shown && (collected == kExplorerNoCollection || collected == kExplorerNoList)) return;
        if (shown) {
            bringToFront(window);
            return;
        }
    }
}
