// TazuHere end to end, names already taken: a run whose time-stamped name exists waits for the
// next second instead of touching what is there; two runs at once never share a name; a name
// without a time that stays taken gives up after 60 new compositions.
#include "here_fixture.h"

#include <set>

namespace e2e {
namespace {

class HereCollisions : public HereTest {
protected:
    std::vector<std::wstring> stampsOf(const std::wstring& base, const std::wstring& extension)
    {
        std::vector<std::wstring> stamps;
        for (const std::wstring& name : namesIn(sandbox.data)) {
            std::wstring stamp;
            if (isTimeStampedName(name, base, extension, &stamp)) stamps.push_back(stamp);
        }
        return stamps;
    }
};

TEST_F(HereCollisions, ATakenNameMakesTheRunWaitForTheNextSecond)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring item = file(L"report.txt", "report");
    // The names of this second and the next two are taken by someone else.
    std::set<std::wstring> taken;
    for (int second = -1; second <= 2; ++second) {
        std::wstring stamp = stampInSeconds(second);
        if (taken.insert(stamp).second) {
            ASSERT_TRUE(writeFile(sandbox.data + L"report_" + stamp + L".txt", "taken " + narrow(stamp)));
        }
    }
    std::wstring lastTaken = *taken.rbegin();

    DWORD started = GetTickCount();
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Success.", 15000));
    DWORD took = GetTickCount() - started;
    EXPECT_TRUE(endsWith(*program, 0, 8000));

    std::vector<std::wstring> fresh;
    for (const std::wstring& stamp : stampsOf(L"report", L".txt")) {
        std::string bytes;
        ASSERT_TRUE(readFile(sandbox.data + L"report_" + stamp + L".txt", &bytes));
        if (taken.count(stamp)) {
            EXPECT_EQ("taken " + narrow(stamp), bytes) << "a taken name was written over";
        } else {
            fresh.push_back(stamp);
            EXPECT_EQ("report", bytes);
        }
    }
    ASSERT_EQ(1u, fresh.size());
    EXPECT_GT(fresh[0], lastTaken);
    // At least one collision wait of a second lies between the start and the result.
    EXPECT_GE(took, 1000u);
}

TEST_F(HereCollisions, TwoRunsAtOnceTakeTwoNames)
{
    ASSERT_TRUE(settings(L"en"));
    std::wstring item = file(L"report.txt", "report");
    driver::Program* first = nullptr;
    driver::Program* second = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &first));
    ASSERT_TRUE(start(inQuotes(item), &second));
    EXPECT_TRUE(endsWith(*first, 0, 15000));
    EXPECT_TRUE(endsWith(*second, 0, 15000));
    std::vector<std::wstring> stamps = stampsOf(L"report", L".txt");
    ASSERT_EQ(2u, stamps.size());
    EXPECT_NE(stamps[0], stamps[1]);
    for (const std::wstring& stamp : stamps) {
        std::string bytes;
        ASSERT_TRUE(readFile(sandbox.data + L"report_" + stamp + L".txt", &bytes));
        EXPECT_EQ("report", bytes);
    }
}

TEST_F(HereCollisions, ANameWithoutTimeTakenFor61CompositionsGivesUp)
{
    // "Date" after the name: no wait, every new composition gives the same name.
    ASSERT_TRUE(settings(L"en", 1, {{L"AddStringsAft", L"2"}}));
    std::wstring item = file(L"report.txt", "report");
    std::wstring today = stampInSeconds(0).substr(0, 8);
    std::wstring takenPath = sandbox.data + L"report_" + today + L".txt";
    ASSERT_TRUE(writeFile(takenPath, "taken"));
    driver::Program* program = nullptr;
    ASSERT_TRUE(start(inQuotes(item), &program));
    EXPECT_TRUE(answerMessageBox(*program, kHereTitle,
                                 L"The same name of the file to the backup destination already exists.\n\n" + takenPath,
                                 driver::IconError, IDOK));
    HWND result = findResultWindow(*program);
    ASSERT_TRUE(result);
    EXPECT_TRUE(waitForStatus(result, L"Backup failed!", 5000));
    EXPECT_TRUE(endsWith(*program, 0, 8000));
    std::string bytes;
    ASSERT_TRUE(readFile(takenPath, &bytes));
    EXPECT_EQ("taken", bytes);
    EXPECT_EQ((std::vector<std::wstring>{L"report.txt", L"report_" + today + L".txt"}), namesIn(sandbox.data));
}

}  // namespace
}  // namespace e2e
