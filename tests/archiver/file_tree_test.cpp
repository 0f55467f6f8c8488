// The walk against its memory budget: a tree that needs more than the list may take ends with the
// memory error naming the folder, never with an abort, and gives back what it took.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "archiver_api.h"
#include "file_tree.h"

namespace {

struct Tree {
    std::wstring root;
    int files = 0;
};

bool makeTree(Tree* t, int files)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    t->root = std::wstring(tmp) + L"vantrel-walk-" + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(t->root.c_str(), nullptr)) return false;
    for (int i = 0; i < files; ++i) {
        HANDLE h = CreateFileW((t->root + L"\\file with a fairly long name " + std::to_wstring(i) + L".txt").c_str(),
                               GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        ++t->files;
    }
    return true;
}

void removeTree(const Tree& t)
{
    for (int i = 0; i < t.files; ++i) DeleteFileW((t.root + L"\\file with a fairly long name " + std::to_wstring(i) + L".txt").c_str());
    RemoveDirectoryW(t.root.c_str());
}

TEST(FileTree, WalkBeyondItsMemoryBudgetEndsWithTheMemoryError)
{
    Tree tree;
    const bool made = makeTree(&tree, 300);
    struct Row {
        const char* label;
        uint64_t budget;
        int code;
    };
    const Row rows[] = {
        {"no room for the names", 64 << 10, ARCHIVER_ERROR_INTERNAL},
        {"names fit, the entries do not", (1 << 20) + (32 << 10), ARCHIVER_ERROR_INTERNAL},
        {"enough", 4 << 20, ARCHIVER_OK},
    };
    for (const Row& row : rows) {
        if (!made) break;
        SCOPED_TRACE(row.label);
        EntryList list;
        entryListInit(&list, row.budget);
        uint64_t total = 0;
        volatile LONG cancel = 0;
        WalkFailure failure;
        EXPECT_EQ(row.code, collectEntries({tree.root}, &list, &total, &cancel, &failure));
        EXPECT_LE(list.bytesHeld, row.budget);
        if (row.code == ARCHIVER_OK) {
            EXPECT_EQ(301u, list.count);
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), failure.systemError);
            EXPECT_NE(std::wstring::npos, failure.path.find(L"vantrel-walk-")) << "the error names the folder";
        }
        entryListFree(&list);
        EXPECT_EQ(0u, list.bytesHeld);
    }
    removeTree(tree);
    ASSERT_TRUE(made) << "could not make the tree";
}

}  // namespace
