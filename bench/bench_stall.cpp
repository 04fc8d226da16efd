// Browsers never wait for the window: a probe connects every 5 ms and times each reply while (a)
// a subscription of 1,000,000 names arrives over HTTP and is merged and written, and (b) the
// server-list editor opens and sorts 1,000,000 names. The window's thread is watched by a zero
// timer: its longest gap is the longest stretch it was blocked. The baseline is the same probe
// with nothing else happening, in the same run.

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/MainForm.h"
#include "bench/support/BenchPlatform.h"
#include "platform/linux/EpollListener.h"
#include "platform/linux/LoopbackSocket.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/qt/QtWorker.h"
#include "tests/fakes/FakePlatform.h"

using namespace tessel;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kNames = 1'000'000;

std::string names(const char* prefix, const char* end) {
    std::string text;
    for (int i = 0; i < kNames; ++i) {
        text.append(prefix).append(std::to_string(i)).append(".example").append(end);
    }
    return text;
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Serves `body` to every request on a loopback port of its own, from a thread of its own.
class ListServer final {
public:
    explicit ListServer(std::string body) : body_(std::move(body)) {
        int error = 0;
        fd_ = platform::listenOnLoopback(0, error);
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);  // this thread waits on it
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~ListServer() {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    std::uint16_t port() const { return port_; }

private:
    void serve() {
        for (int peer; (peer = ::accept(fd_, nullptr, nullptr)) >= 0; ::close(peer)) {
            char request[4096];
            [[maybe_unused]] const auto got = ::recv(peer, request, sizeof request, 0);
            const std::string head =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                "\r\nConnection: close\r\n\r\n";
            ::send(peer, head.data(), head.size(), MSG_NOSIGNAL);
            for (std::size_t sent = 0; sent < body_.size();) {
                const auto n = ::send(peer, body_.data() + sent, body_.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
        }
    }
    std::string body_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// Connects every 5 ms and keeps the slowest whole reply, from a thread of its own.
class Probe final {
public:
    explicit Probe(std::uint16_t port)
        : thread_([this, port] {
              while (!stop_) {
                  const auto start = Clock::now();
                  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                  const sockaddr_in to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
                  ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
                  ::send(fd, "GET / HTTP/1.1\r\n\r\n", 18, MSG_NOSIGNAL);
                  char buffer[4096];
                  while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
                  }
                  ::close(fd);
                  worst_ = std::max(worst_.load(), msSince(start));
                  std::this_thread::sleep_for(5ms);
              }
          }) {}
    ~Probe() {
        stop_ = true;
        thread_.join();
    }
    double worst() const { return worst_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<double> worst_{0};
    std::thread thread_;
};

// Runs the event loop until `done` holds, giving the longest gap between two turns of a zero
// timer: how long at most the window's thread could not answer.
double longestBlock(const std::function<bool()>& done, std::chrono::seconds limit = 60s) {
    QTimer zero;
    auto last = Clock::now();
    double longest = 0;
    QObject::connect(&zero, &QTimer::timeout, [&] {
        longest = std::max(longest, msSince(last));
        last = Clock::now();
    });
    zero.start(0);
    const auto until = Clock::now() + limit;
    while (!done() && Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return longest;
}

void report(const char* what, double worstReply, double baseline, double block) {
    std::printf("%-36s worst reply %7.2f ms (%.1fx idle)   window blocked at most %7.1f ms\n", what,
                worstReply, worstReply / baseline, block);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    bench::ScratchDirectory scratch("tessel-stall");
    const std::string dir = scratch.path();
    std::filesystem::create_directory(dir + "/data");
    ListServer lists(names("sub", "\n"));
    put(dir + "/data/badHosts.dat", "ads.example.com\r\n");
    put(dir + "/data/prefs.dat",
        dir + "/data/Tessel.gif\r\n" + dir + "/hosts\r\n80\r\n80\r\nkeepHostsFile: False\r\n");
    put(dir + "/hosts", "127.0.0.1 localhost\n");

    fakes::FakeMessageBox box;
    fakes::FakePicker picker;
    platform::PosixFileSystem files;
    fakes::FakeProcess process;
    process.directory = dir;
    fakes::FakeInstance instance;
    fakes::FakeZOrder zorder;
    fakes::FakeTray tray;
    platform::EpollListener listener;
    platform::QtWorker worker;
    app::MainForm form({box, picker, files, process, instance, zorder, tray, listener, worker},
                       std::make_unique<ui::MainWindow>(), responder::Ports{0, 0});
    QTimer drain;  // the counter's displays follow on the repeating timer
    QObject::connect(&drain, &QTimer::timeout, [&] { process.tick(); });
    drain.start(50);

    form.load();
    const auto port = listener.localPort();
    double baseline = 0;
    {
        const auto until = Clock::now() + 2s;
        const Probe idle(port);
        longestBlock([&] { return Clock::now() >= until; });
        baseline = std::max(idle.worst(), 0.01);
    }
    const auto written = [&] {
        std::error_code ignored;
        return std::filesystem::file_size(dir + "/hosts", ignored) > 20'000'000;
    };
    {
        const Probe merging(port);
        (void)form.subscriptions().apply({"http://127.0.0.1:" + std::to_string(lists.port())}, {});
        form.subscriptions().updateNow();
        const double block = longestBlock(written);
        report("(a) 1,000,000 names merged, written", merging.worst(), baseline, block);
    }
    put(dir + "/data/badHosts.dat", names("ads", "\r\n"));
    {
        const Probe editing(port);
        form.window().findChild<QAction*>(QStringLiteral("menuServers"))->trigger();
        const double block = longestBlock([&] { return form.servers() != nullptr; });
        report("(b) the editor opens 1,000,000 names", editing.worst(), baseline, block);
    }
    std::printf("idle baseline: worst reply %.2f ms; goals: reply <= 20 ms, (a) block <= 100 ms\n",
                baseline);
    return written() && form.servers() != nullptr ? 0 : 1;
}
