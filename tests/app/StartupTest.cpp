// The real program, started as a user starts it: the splash and the command-line switches.
#include "TempFolder.h"
#include "framework/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ProcessWindows {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND hWnd, LPARAM lParam)
{
    auto* pw = reinterpret_cast<ProcessWindows*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == pw->pid && ::IsWindowVisible(hWnd))
        pw->windows.push_back(hWnd);
    return TRUE;
}

std::string ClassOf(HWND hWnd)
{
    char name[64] = {};
    ::GetClassNameA(hWnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND hWnd)
{
    char text[256] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

// The program, started from its own folder (the tests' current directory).
class Program {
public:
    explicit Program(const std::string& arguments)
    {
        const std::wstring folder = ProgramFolder();
        std::wstring command = folder + L"\\CalveraTessel.exe";
        command.insert(command.begin(), L'"');
        command.append(L"\" ").append(Wide(arguments));
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        m_started =
            ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &m_pi);
    }
    ~Program()
    {
        if (m_started) {
            ::TerminateProcess(m_pi.hProcess, 0);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
            ::CloseHandle(m_pi.hProcess);
            ::CloseHandle(m_pi.hThread);
        }
    }
    bool Started() const { return m_started; }
    std::vector<HWND> Windows() const
    {
        ProcessWindows pw{m_pi.dwProcessId, {}};
        ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&pw));
        return pw.windows;
    }
    HWND Find(const std::string& klass, const std::string& title = {}) const
    {
        for (HWND hWnd : Windows())
            if ((klass.empty() || ClassOf(hWnd) == klass) && (title.empty() || TextOf(hWnd) == title))
                return hWnd;
        return nullptr;
    }
    // Waits for the main window; remembers whether a splash was seen on the way and for a while after.
    bool WaitForMainWindow(bool& splashSeen) const
    {
        std::vector<bool> seen;
        const bool shown = WaitForMainWindows({this}, seen);
        splashSeen = seen[0];
        return shown;
    }
    // The same for programs running at once, all watched together: whether each showed its main
    // window, and in `splashSeen` whether each showed a splash on the way or in the second after the
    // last main window (not waited for once every program has shown one: the answers cannot change).
    static bool WaitForMainWindows(const std::vector<const Program*>& programs, std::vector<bool>& splashSeen)
    {
        splashSeen.assign(programs.size(), false);
        std::vector<bool> main(programs.size(), false);
        auto look = [&] {
            for (size_t i = 0; i < programs.size(); i++) {
                splashSeen[i] = splashSeen[i] || programs[i]->Find("CalveraTesselSplash") != nullptr;
                main[i] = main[i] || programs[i]->Find("#32770", "Calvera Tessel for Excel") != nullptr;
            }
        };
        auto all = [](const std::vector<bool>& flags) {
            return std::find(flags.begin(), flags.end(), false) == flags.end();
        };
        for (int i = 0; i < 200 && !all(main); i++) {
            look();
            ::Sleep(50);
        }
        for (int i = 0; i < 20 && !all(splashSeen); i++) {
            look();
            ::Sleep(50);
        }
        return all(main);
    }

private:
    PROCESS_INFORMATION m_pi{};
    bool m_started = false;
};

} // namespace

TEST(Startup, PlainStartShowsTheSplashThenTheMainWindow)
{
    Program program("");
    ASSERT_TRUE(program.Started());
    bool splash = false;
    ASSERT_TRUE(program.WaitForMainWindow(splash));
    EXPECT_TRUE(splash);
    HWND hSplash = program.Find("CalveraTesselSplash");
    ASSERT_NE(hSplash, nullptr) << "the splash stays for four seconds";
    RECT rc;
    ::GetWindowRect(hSplash, &rc);
    EXPECT_EQ(rc.right - rc.left, 359);
    EXPECT_EQ(rc.bottom - rc.top, 182);
}

TEST(Startup, EmbeddingOrAutomationSwitchMeansNoSplash)
{
    // The three programs start at once; each is watched through its own process's windows.
    const char* const switches[] = {"/Embedding", "-automation", "/EMBEDDING other.xls"};
    std::vector<std::unique_ptr<Program>> programs;
    std::vector<const Program*> watched;
    for (const char* arguments : switches) {
        programs.push_back(std::make_unique<Program>(arguments));
        ASSERT_TRUE(programs.back()->Started()) << arguments;
        watched.push_back(programs.back().get());
    }
    std::vector<bool> splash;
    EXPECT_TRUE(Program::WaitForMainWindows(watched, splash));
    for (size_t i = 0; i < programs.size(); i++) {
        SCOPED_TRACE(switches[i]);
        EXPECT_TRUE(programs[i]->Find("#32770", "Calvera Tessel for Excel") != nullptr);
        EXPECT_FALSE(splash[i]);
    }
}

TEST(Startup, OtherArgumentsChangeNothing)
{
    Program program("/Embed book.xls");
    ASSERT_TRUE(program.Started());
    bool splash = false;
    ASSERT_TRUE(program.WaitForMainWindow(splash));
    EXPECT_TRUE(splash);
}

// The program's manifest: long paths where the system allows them, beside what it asked for before.
TEST(Startup, ManifestDeclaresLongPathAwareness)
{
    HMODULE program = ::LoadLibraryExW((ProgramFolder() + L"\\CalveraTessel.exe").c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* xml = static_cast<const char*>(::LockResource(::LoadResource(program, found)));
    const std::string manifest(xml, ::SizeofResource(program, found));
    ::FreeLibrary(program);
    const size_t settings = manifest.find("<windowsSettings>");
    const size_t aware = manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                                       "true</longPathAware>");
    ASSERT_NE(settings, std::string::npos);
    EXPECT_NE(aware, std::string::npos) << manifest;
    EXPECT_GT(aware, settings);
    EXPECT_LT(aware, manifest.find("</windowsSettings>"));
    EXPECT_NE(manifest.find("<gdiScaling"), std::string::npos);
}
