// The program run from a command line: what it makes of its arguments, and the real program
// started as a script would start it, with its output, exit code and files checked.
#include "app/CommandLine.h"
#include "TempFolder.h"
#include "repair/CompoundFile.h"

#include <gtest/gtest.h>

namespace {

std::wstring Fixture(const std::wstring& name)
{
    return L"" TESSEL_SOURCE_DIR L"\\tests\\fixtures\\" + name;
}

struct Finished {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output; // stdout and stderr together, UTF-8
};

// Starts the program with the arguments, its output sent to a file, and waits for its end.
Finished RunProgram(const std::wstring& args)
{
    TempFolder folder;
    const std::wstring outPath = folder.File(L"out.txt");
    SECURITY_ATTRIBUTES sa = { sizeof(sa), nullptr, TRUE };
    HANDLE hOut = ::CreateFileW(
        outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, 0, nullptr);
    Finished finished;
    EXPECT_NE(hOut, INVALID_HANDLE_VALUE);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + ProgramFolder() + L"\\CalveraTessel.exe\" " + args;
    const BOOL started
        = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, ProgramFolder().c_str(), &si, &pi);
    ::CloseHandle(hOut);
    EXPECT_TRUE(started);
    if (!started)
        return finished;
    EXPECT_EQ(::WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
    ::GetExitCodeProcess(pi.hProcess, &finished.exitCode);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    finished.output = ReadWholeFile(outPath);
    return finished;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const std::string kUsageStart = "Calvera Tessel for Excel repairs damaged Excel workbooks (.xls) without opening";

} // namespace

TEST(CommandLineArguments, SwitchesValuesAndMistakes)
{
    using R = CommandLineRequest;
    struct Case {
        std::vector<std::wstring> args;
        R::Kind kind;
        std::vector<std::wstring> paths;
        std::wstring out;
        int nameMode;
        bool quiet;
        std::string error;
    } cases[] = {
        { {}, R::WINDOW, {}, L"", NAME_PREFIX, false, "" },
        { { L"/Embedding", L"C:\\a.xls" }, R::WINDOW, {}, L"", NAME_PREFIX, false, "" },
        { { L"-?" }, R::USAGE, {}, L"", NAME_PREFIX, false, "" },
        { { L"/repair", L"C:\\a.xls", L"/?" }, R::USAGE, {}, L"", NAME_PREFIX, false, "" },
        { { L"/REPAIR", L"C:\\a.xls", L"D:\\books" }, R::REPAIR, { L"C:\\a.xls", L"D:\\books" }, L"", NAME_PREFIX,
            false, "" },
        { { L"-repair", L"C:\\\u00e9.xls", L"/Out", L"E:\\out", L"/name", L"SUFFIX", L"/quiet" }, R::REPAIR,
            { L"C:\\\u00e9.xls" }, L"E:\\out", NAME_SUFFIX, true, "" },
        { { L"/repair" }, R::WRONG, {}, L"", NAME_PREFIX, false,
            "Name the workbooks or folders to repair after /repair." },
        { { L"/repair", L"a.xls", L"/out" }, R::WRONG, {}, L"", NAME_PREFIX, false, "The option /out needs a value." },
        { { L"/repair", L"a.xls", L"/out", L"/quiet" }, R::WRONG, {}, L"", NAME_PREFIX, false,
            "The option /out needs a value." },
        { { L"/repair", L"a.xls", L"/name", L"middle" }, R::WRONG, {}, L"", NAME_PREFIX, false,
            "The option /name takes prefix or suffix, not middle." },
        { { L"/repair", L"a.xls", L"/out", L"x", L"/OUT", L"y" }, R::WRONG, {}, L"", NAME_PREFIX, false,
            "The option /OUT is given twice." },
        { { L"/repair", L"a.xls", L"/report", L"r.csv", L"/report", L"s.csv" }, R::WRONG, {}, L"", NAME_PREFIX, false,
            "The option /report is given twice." },
        { { L"/repair", L"a.xls", L"/fast" }, R::WRONG, {}, L"", NAME_PREFIX, false, "Unknown option: /fast" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(
            c.args.empty() ? std::string("(none)") : Utf8(c.args[0]) + " ... (" + std::to_string(c.args.size()) + ")");
        const R request = ParseRepairCommandLine(c.args);
        EXPECT_EQ(request.kind, c.kind);
        EXPECT_EQ(request.error, c.error);
        if (c.kind != R::REPAIR)
            continue;
        EXPECT_EQ(request.paths, c.paths);
        EXPECT_EQ(request.outFolder, c.out);
        EXPECT_EQ(request.nameMode, c.nameMode);
        EXPECT_EQ(request.quiet, c.quiet);
    }
}

TEST(CommandLineRun, UsageAndMistakesEndWithTheirCodes)
{
    const Finished usage = RunProgram(L"/?");
    EXPECT_EQ(usage.exitCode, 0u);
    EXPECT_EQ(usage.output.rfind(kUsageStart, 0), 0u) << usage.output;

    const Finished wrong = RunProgram(L"/repair a.xls /name middle");
    EXPECT_EQ(wrong.exitCode, 2u);
    EXPECT_EQ(wrong.output.rfind("The option /name takes prefix or suffix, not middle.\r\n\r\n" + kUsageStart, 0), 0u)
        << wrong.output;
}

TEST(CommandLineRun, QuietFolderRunRepairsTheTreeIntoANewFolderAndEndsWithZero)
{
    TempFolder folder;
    const std::wstring tree = folder.File(L"books");
    ::CreateDirectoryW(tree.c_str(), nullptr);
    ::CreateDirectoryW((tree + L"\\sub").c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(Fixture(L"gn_1cell.xls").c_str(), (tree + L"\\one.xls").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(Fixture(L"xl_3sheets.xls").c_str(), (tree + L"\\sub\\three.xls").c_str(), FALSE));
    folder.WriteFile(L"books\\notes.txt", 10);
    const std::string before = ReadWholeFile(tree + L"\\one.xls");

    const std::wstring out = folder.File(L"out\\nested");
    const Finished run = RunProgram(L"/repair \"" + tree + L"\" /out \"" + out + L"\" /quiet");
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(run.output, "2 repaired, 0 partly recovered, 0 failed.\r\n");
    EXPECT_EQ(FilesIn(out), (std::vector<std::wstring> { L"REP_one.xls", L"REP_three.xls" }));
    for (const wchar_t* name : { L"REP_one.xls", L"REP_three.xls" })
        EXPECT_TRUE(CheckCompoundFile(out + L"\\" + name).wellFormed) << Utf8(name);
    EXPECT_EQ(ReadWholeFile(tree + L"\\one.xls"), before);
}

TEST(CommandLineRun, FailuresAreToldLineByLineAndEndWithOne)
{
    TempFolder folder;
    const std::wstring good = folder.File(L"g\u00e9od.xls");
    ASSERT_TRUE(::CopyFileW(Fixture(L"lo_1cell.xls").c_str(), good.c_str(), FALSE));
    const std::wstring junk = folder.WriteFile(L"junk.xls", 3000);
    const std::wstring text = folder.WriteFile(L"readme.txt", 5);
    const std::wstring missing = folder.File(L"gone.xls");

    const Finished run = RunProgram(
        L"/repair \"" + good + L"\" \"" + junk + L"\" \"" + text + L"\" \"" + missing + L"\" /name suffix");
    EXPECT_EQ(run.exitCode, 1u);
    const std::string repairedTo = Utf8(folder.File(L"Repaired\\g\u00e9od_REP.xls"));
    EXPECT_TRUE(Contains(run.output, "Repaired: " + Utf8(good) + " -> " + repairedTo + "\r\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "Failed: " + Utf8(junk) + "\r\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "Not an Excel workbook (.xls): " + Utf8(text) + "\r\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "Not found: " + Utf8(missing) + "\r\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "1 repaired, 0 partly recovered, 3 failed.\r\n")) << run.output;
    EXPECT_TRUE(CheckCompoundFile(folder.File(L"Repaired\\g\u00e9od_REP.xls")).wellFormed);
    EXPECT_EQ(FilesIn(folder.File(L"Repaired")), std::vector<std::wstring> { L"g\u00e9od_REP.xls" });

    // Every workbook repaired, but the report cannot be written: the run did not do what was asked.
    const std::wstring report = folder.File(L"no such folder\\r.csv");
    const Finished unreported = RunProgram(L"/repair \"" + good + L"\" /report \"" + report + L"\" /quiet");
    EXPECT_EQ(unreported.exitCode, 1u);
    EXPECT_TRUE(Contains(unreported.output, "The report cannot be written: " + Utf8(report) + "\r\n"))
        << unreported.output;
}

// A copy that holds only what survived is not a whole repair: the run ends with 1, the loss is
// told even with /quiet, and the report names it field by field.
TEST(CommandLineRun, APartlyRecoveredWorkbookEndsWithOneAndItsLossIsReported)
{
    TempFolder folder;
    const std::wstring good = folder.File(L"good.xls");
    ASSERT_TRUE(::CopyFileW(Fixture(L"lo_1cell.xls").c_str(), good.c_str(), FALSE));
    const std::string threeSheets = ReadWholeFile(Fixture(L"lo_3sheets.xls"));
    const std::wstring cut = folder.WriteFile(L"cut, half.xls", threeSheets.substr(0, threeSheets.size() / 2));
    const std::wstring out = folder.File(L"out");
    const std::wstring report = folder.File(L"r.csv");

    const Finished run = RunProgram(
        L"/repair \"" + good + L"\" \"" + cut + L"\" /out \"" + out + L"\" /report \"" + report + L"\" /quiet");
    EXPECT_EQ(run.exitCode, 1u);
    const std::string copy = Utf8(out) + "\\REP_cut, half.xls";
    EXPECT_EQ(run.output,
        "Partly recovered: " + Utf8(cut) + " -> " + copy + " (lost: Notes, Zeta)\r\n"
        "1 repaired, 1 partly recovered, 0 failed.\r\n");
    EXPECT_TRUE(CheckCompoundFile(out + L"\\REP_cut, half.xls").wellFormed);
    EXPECT_EQ(ReadWholeFile(report),
        "\xEF\xBB\xBFSource,Repaired copy,Status,What was lost\r\n" + Utf8(good) + "," + Utf8(out)
            + "\\REP_good.xls,Repaired,\r\n\"" + Utf8(cut) + "\",\"" + copy + "\",Partly recovered,\"Notes, Zeta\"\r\n");
}
