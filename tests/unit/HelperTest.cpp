// The helper's side of the link over a socket pair, with files in memory, and the program's side
// of a helper that has died. No test here lets the helper bind a port: each greeting is refused
// before it would.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "app/HelperSockets.h"
#include "core/ProgramPaths.h"
#include "fakes/FakePlatform.h"
#include "helper/Server.h"
#include "platform/linux/Frames.h"

namespace tessel::fakes {
namespace {

// A helper serving one end of a socket pair until the link closes; the test holds the other.
class Link final {
public:
    Link(platform::FileSystem& files, std::optional<helper::Refusal> refusal) {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        ours_ = ends[0];
        theirs_ = ends[1];
        server_ = std::thread(
            [this, &files, refusal] { helper::Server(theirs_, files, refusal).serve(); });
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() {
        ::close(ours_);
        server_.join();
        ::close(theirs_);
    }
    helper::Reply call(const helper::Request& request) {
        if (!platform::sendFrame(ours_, helper::encode(request))) {
            return {false, false, true, -1, 0, "not sent"};
        }
        const auto body = platform::receiveFrame(ours_);
        return body ? helper::parseReply(*body).value_or(
                          helper::Reply{false, false, true, -2, 0, ""})
                    : helper::Reply{false, false, true, -3, 0, "closed"};
    }

private:
    int ours_ = -1;
    int theirs_ = -1;
    std::thread server_;
};

// A helper that must not serve says why to the first request, whatever it is, and touches
// nothing; so does one whose greeting finds a cut rewrite of /etc/hosts it cannot finish, which
// would leave a torn file to give back over.
TEST(Helper, RefusesBeforeTouchingAnything) {
    struct Row {
        const char* what;
        std::optional<helper::Refusal> refusal;
        bool leftoversFinish;
        helper::Request first;
        int number;
    };
    const Row rows[] = {
        {"another helper holds the lock", helper::Refusal{EWOULDBLOCK, "busy"}, true,
         helper::Request::hello(), EWOULDBLOCK},
        {"a write as the first request", helper::Refusal{EPERM, "setuid"}, true,
         helper::Request::write(false, {"ad.example"}), EPERM},
        {"a cut rewrite left unfinished", std::nullopt, false, helper::Request::hello(), EIO},
    };
    for (const Row& row : rows) {
        MemoryFileSystem files;
        files.leftoversFinish = row.leftoversFinish;
        files.files[kSystemHostsPath] = "127.0.0.1 localhost\n";
        files.files[kHelperSavedHostsPath] = "a kept copy";
        const auto before = files.files;
        helper::Reply reply;
        {
            Link link(files, row.refusal);
            reply = link.call(row.first);
        }
        EXPECT_TRUE(!reply.ok && reply.ends && reply.number == row.number &&
                    files.files == before && files.writes == 0)
            << row.what << ": " << reply.text;
    }
}

class DeadHelper final : public platform::HelperLink {
public:
    helper::Reply call(const helper::Request&, int*) override {
        return {false, false, true, 0, 0, "Error talking to tessel-helper: it ended"};
    }
};

// Resume asks a helper that has died for the port: the user is told before the program ends.
TEST(Helper, ADeadHelperIsReportedBeforeTheEnd) {
    DeadHelper helper;
    FakeMessageBox box;
    FakeProcess process;
    const auto source = app::socketsFromHelper(helper, box, process);
    EXPECT_THROW(source(80), ProgramEnded);
    EXPECT_EQ(box.shown, std::vector<std::string>{
                             "Error talking to tessel-helper: it ended\r\nExiting Tessel."});
}

}  // namespace
}  // namespace tessel::fakes
