#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>

#include "support/temp_dir.hpp"
#include "value_store.hpp"

namespace zarvo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const std::string kDone = "Zarvo 3 Runtime Setup: セットアップ完了しました。\n";
const std::string kWriteFailed = "Zarvo 3 Runtime Setup: レジストリの書き込みに失敗しました\n";
const std::string kKeyFile = "Software/vexo/Zarvo3/runtime";

struct ToolRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// A copy of the tool in its own folder of the temp dir, since the tool records its own folder.
class SetupTool {
  public:
    explicit SetupTool(const std::string& folder) : folder_(folder) {
        fs::create_directories(folder_);
        fs::copy_file(ZARVOPLAY_SETUP_EXE, exe(), fs::copy_options::overwrite_existing);
        fs::permissions(exe(), fs::perms::owner_all, fs::perm_options::add);
    }
    std::string exe() const { return folder_ + "/zarvoplay_setup"; }
    std::string player() const { return fs::canonical(folder_).string() + "/zarvoplay"; }

    // Environment entries set (or, with nullopt, removed) in the child; DISPLAY is always
    // removed so that no run can open a window.
    ToolRun run(std::vector<std::string> args,
                std::map<std::string, std::optional<std::string>> env = {},
                rlim_t maxFileSize = RLIM_INFINITY) const {
        int fds[2];
        if (pipe(fds) != 0) return {};
        pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            for (auto& [k, v] : env) v ? setenv(k.c_str(), v->c_str(), 1) : unsetenv(k.c_str());
            signal(SIGXFSZ, SIG_IGN);
            rlimit lim{maxFileSize, maxFileSize};
            setrlimit(RLIMIT_FSIZE, &lim);
            std::vector<char*> argv{const_cast<char*>("zarvoplay_setup")};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe().c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        ToolRun r;
        char buf[512];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) r.output.append(buf, size_t(n));
        close(fds[0]);
        int st = 0;
        waitpid(pid, &st, 0);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        return r;
    }

  private:
    std::string folder_;
};

class SetupRun : public ::testing::Test {
  protected:
    test::TempDir tmp;
    std::string user = tmp.file("user"), machine = tmp.file("machine");
    SetupTool tool{tmp.file("bin")};
    ToolRun run(std::vector<std::string> extra = {}, rlim_t maxFileSize = RLIM_INFINITY) {
        std::vector<std::string> args{"--no-gui", "--user-root", user, "--machine-root", machine};
        args.insert(args.end(), extra.begin(), extra.end());
        return tool.run(args, {}, maxFileSize);
    }
};

TEST_F(SetupRun, RecordsThePlayerBesideItInBothStoresWithOrWithoutThePlayer) {
    std::string line = "exefile=" + tool.player() + "\n";
    ToolRun r = run();  // no player in the folder: recorded all the same
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, kDone);
    EXPECT_EQ(readFile(user + "/" + kKeyFile), line);
    EXPECT_EQ(readFile(machine + "/" + kKeyFile), line);
    // Everyone must be able to read the per-machine value; no temporary file stays behind.
    EXPECT_EQ(fs::status(machine + "/" + kKeyFile).permissions(), fs::perms(0644));
    EXPECT_EQ(std::distance(fs::directory_iterator(machine + "/Software/vexo/Zarvo3"), {}), 1);

    writeFile(tool.player(), "");
    r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(machine + "/" + kKeyFile), line);
}

TEST_F(SetupRun, KeepsOtherLinesAndTheFileMode) {
    fs::create_directories(user + "/Software/vexo/Zarvo3");
    writeFile(user + "/" + kKeyFile, "# mine\r\n EXEFILE =/old\r\nother=1\r\nexefile=/older\r\n");
    fs::permissions(user + "/" + kKeyFile, fs::perms(0600));
    ASSERT_EQ(run().status, 0);
    EXPECT_EQ(readFile(user + "/" + kKeyFile),
              "# mine\r\nexefile=" + tool.player() + "\r\nother=1\r\n");
    EXPECT_EQ(fs::status(user + "/" + kKeyFile).permissions(), fs::perms(0600));
}

TEST_F(SetupRun, FailuresReportTheWriteErrorAndLoseNothing) {
    // The per-machine store cannot be written: the per-user value stays.
    writeFile(machine, "not a folder");
    ToolRun r = run();
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output.find(kWriteFailed), 0u) << r.output;
    EXPECT_EQ(r.output.find(kDone), std::string::npos);
    EXPECT_EQ(readFile(user + "/" + kKeyFile), "exefile=" + tool.player() + "\n");

    // The per-user store fails first: nothing goes to the per-machine one.
    fs::remove(machine);
    fs::remove_all(user);
    writeFile(user, "");
    r = run();
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output.find(kWriteFailed), 0u) << r.output;
    EXPECT_FALSE(fs::exists(machine));

    // A write cut short leaves the good file whole and no stray file beside it.
    fs::remove(user);
    fs::create_directories(user + "/Software/vexo/Zarvo3");
    std::string good = "keep=" + std::string(300, 'x') + "\n";
    writeFile(user + "/" + kKeyFile, good);
    EXPECT_EQ(run({}, 200).status, 255);
    EXPECT_EQ(readFile(user + "/" + kKeyFile), good);
    EXPECT_EQ(std::distance(fs::directory_iterator(user + "/Software/vexo/Zarvo3"), {}), 1);

    // A folder name with a line break cannot be one line: refused, not split into two.
    SetupTool odd(tmp.file("a\nexefile=/evil"));
    fs::remove_all(user);
    r = odd.run({"--no-gui", "--user-root", user, "--machine-root", machine});
    EXPECT_EQ(r.status, 255);
    EXPECT_FALSE(fs::exists(user + "/" + kKeyFile));
}

TEST_F(SetupRun, DefaultRootsOptionsAndMessagesWithoutADisplay) {
    // No --no-gui: without a display the message still goes to stderr.
    std::string xdg = tmp.file("xdg"), home = tmp.file("home");
    ToolRun r = tool.run({"--machine-root", machine}, {{"XDG_CONFIG_HOME", xdg}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, kDone);
    EXPECT_TRUE(fs::exists(xdg + "/" + kKeyFile));
    // A relative XDG_CONFIG_HOME is ignored for ~/.config.
    r = tool.run({"--no-gui", "--machine-root", machine},
                 {{"XDG_CONFIG_HOME", "rel"}, {"HOME", home}});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(fs::exists(home + "/.config/" + kKeyFile));

    // Bad usage writes nothing.
    for (std::vector<std::string> bad : {std::vector<std::string>{"extra"}, {"--user-root"}}) {
        bad.insert(bad.begin(), {"--user-root", user, "--machine-root", machine});
        EXPECT_EQ(tool.run(bad).status, 2);
        EXPECT_FALSE(fs::exists(user));
    }
}

TEST(SetupValueFile, ReplacesTheFirstLineOfTheNameAndAppendsOtherwise) {
    using setup::withValue;
    EXPECT_EQ(withValue("", "exefile", "/p"), "exefile=/p\n");
    EXPECT_EQ(withValue("a=1", "exefile", "/p"), "a=1\nexefile=/p\n");
    EXPECT_EQ(withValue("a=1\nExeFile=\nb=exefile=x\n", "exefile", "/p"),
              "a=1\nexefile=/p\nb=exefile=x\n");
    EXPECT_EQ(withValue("exefiles=1\nexefile\n", "exefile", "/p"),
              "exefiles=1\nexefile\nexefile=/p\n");
    EXPECT_EQ(setup::keyFile("/r", "A\\\\B\\"), fs::path("/r/A/B"));
    EXPECT_TRUE(setup::keyFile("/r", "A\\..\\B").empty());
    EXPECT_TRUE(setup::keyFile("/r", "\\").empty());
}

}  // namespace
}  // namespace zarvo
