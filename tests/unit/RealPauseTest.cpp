#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "Harness.h"
#include "platform/linux/EpollListener.h"
#include "platform/linux/PosixFileSystem.h"

using namespace tessel;
using namespace std::chrono_literals;

namespace {

// What a browser gets from 127.0.0.1:port: the reply, or nothing when the port is closed.
std::string fetch(std::uint16_t port) {
    auto answer = std::async(std::launch::async, [port] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const char request[] = "GET /ad.gif HTTP/1.0\r\n\r\n";
            (void)::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
            char buffer[1024];
            for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
                reply.append(buffer, static_cast<std::size_t>(got));
            }
        }
        ::close(fd);
        return reply;
    });
    while (answer.wait_for(1ms) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return answer.get();
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void spit(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// frmMain over the real file system and a real loopback listener on an ephemeral port.
struct RealForm {
    std::filesystem::path dir;
    fakes::FakeMessageBox box;
    fakes::FakePicker picker;
    platform::PosixFileSystem files;
    fakes::FakeProcess process;
    fakes::FakeInstance instance;
    fakes::FakeZOrder zorder;
    fakes::FakeTray tray;
    platform::EpollListener listener;
    std::unique_ptr<app::MainForm> form;

    explicit RealForm(const std::string& keep) {
        char pattern[] = "/tmp/tessel-pause-XXXXXX";
        dir = ::mkdtemp(pattern);
        std::filesystem::create_directories(dir / "data");
        process.directory = dir.string();
        spit(dir / "data/badHosts.dat", "ads.example.com\r\n");
        spit(dir / "data/prefs.dat",
             tessel::testing::prefsText(keep, dir.string() + "/data/gray.gif",
                                        (dir / "hosts").string()));
        spit(dir / "hosts", "127.0.0.1 localhost\n# mine\n");
        form = std::make_unique<app::MainForm>(
            app::Services{box, picker, files, process, instance, zorder, tray, listener},
            std::make_unique<ui::MainWindow>(), responder::Ports{0, 0});
    }
    ~RealForm() { std::filesystem::remove_all(dir); }
    std::uint16_t port() const { return listener.localPort(); }
};

}  // namespace

TEST(RealPause, PauseRefusesAndRestoresResumeAnswersAndRewrites) {
    RealForm r("True");
    r.form->Form_Load();
    const std::string user = "127.0.0.1 localhost\n# mine\n";
    EXPECT_NE(slurp(r.dir / "hosts").find("127.0.0.1   ads.example.com\r\n"), std::string::npos);
    EXPECT_NE(fetch(r.port()).find("Location: file://" + r.dir.string() + "/data/gray.gif\r\n"),
              std::string::npos);

    const std::uint16_t before = r.port();
    r.form->menuPause_Click();
    EXPECT_EQ(slurp(r.dir / "hosts"), user);
    EXPECT_EQ(fetch(before), "") << "refused while paused";

    r.form->menuResume_Click();
    EXPECT_NE(slurp(r.dir / "hosts").find("#Following lines created by Tessel:"),
              std::string::npos);
    EXPECT_TRUE(fetch(r.port()).starts_with("HTTP/1.0 302 Moved Temporarily\r\n"));
    r.process.tickUntilStopped();
    EXPECT_EQ(r.tray.tip, "2");

    r.form->menuPause_Click();
    EXPECT_THROW(r.form->menuExit_Click(), fakes::ProgramEnded);
    EXPECT_EQ(slurp(r.dir / "hosts"), user) << "exit while paused leaves the file alone";
    EXPECT_TRUE(r.box.shown.empty());
}

TEST(RealPause, ReplaceModePutsTheFileBackOnPauseAndExit) {
    RealForm r("False");
    const std::string user = slurp(r.dir / "hosts");
    std::filesystem::permissions(r.dir / "hosts", std::filesystem::perms(0604));
    r.form->Form_Load();
    EXPECT_TRUE(slurp(r.dir / "hosts").starts_with("#\r\n# Hosts file created by Tessel\r\n"));
    r.form->menuPause_Click();
    EXPECT_EQ(slurp(r.dir / "hosts"), user);
    r.form->menuResume_Click();
    EXPECT_NE(slurp(r.dir / "hosts"), user);
    EXPECT_THROW(r.form->menuExit_Click(), fakes::ProgramEnded);
    EXPECT_EQ(slurp(r.dir / "hosts"), user);
    EXPECT_EQ(std::filesystem::status(r.dir / "hosts").permissions(), std::filesystem::perms(0604));
}
