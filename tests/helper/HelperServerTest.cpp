// The helper's Server over a socket pair, with files in memory that keep their owner and mode, in a
// network namespace of the test's own (a greeting binds ports 80 and 443): what a greeting finds
// of a killed run, what the end of the link gives back, which files the helper may touch, and when
// it refuses to serve; and the program's side of a helper that has died.

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "app/HelperSockets.h"
#include "core/HostsText.h"
#include "core/ProgramPaths.h"
#include "core/SavedHosts.h"
#include "fakes/FakePlatform.h"
#include "helper/ConfinedFiles.h"
#include "helper/Server.h"
#include "platform/linux/Frames.h"

namespace tessel::fakes {
namespace {

bool privateNetwork = false;  // root, in a network namespace of the test's own

const std::string kOriginal = "127.0.0.1 localhost\n10.1.2.3 printer\n";
constexpr platform::Ownership kUsers{0, 4, 0604};
constexpr platform::Ownership kRootOnly{0, 0, 0600};

// Serves one end of a socket pair on a thread until the test closes the other.
class Link final {
public:
    explicit Link(platform::FileSystem& files, std::optional<helper::Refusal> refusal = {}) {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        ours_ = ends[0];
        theirs_ = ends[1];
        server_ = std::thread(
            [this, &files, refusal] { helper::Server(theirs_, files, refusal).serve(); });
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link() { close(); }
    core::Reply reply(const core::Request& request) {
        const auto body = platform::sendFrame(ours_, core::encode(request))
                              ? platform::receiveFrame(ours_)
                              : std::nullopt;
        const auto reply = body ? core::parseReply(*body) : std::nullopt;
        return reply.value_or(core::Reply{core::Failure::LinkLost, -1, 0, "no reply"});
    }
    bool call(const core::Request& request) { return reply(request).ok(); }
    // The link ends as when `tessel` ends in any way; the helper has given back when this returns.
    void close() {
        if (ours_ >= 0) {
            ::close(ours_);
            ours_ = -1;
            server_.join();
            ::close(theirs_);
        }
    }

private:
    int ours_ = -1;
    int theirs_ = -1;
    std::thread server_;
};

struct Row final {
    const char* what;
    std::string hosts;                        // /etc/hosts before
    std::optional<platform::Ownership> kept;  // the owner of a kept copy of kOriginal; none: none
    bool write;                               // a replace-mode write after the greeting
    std::string after;                        // /etc/hosts once the link has ended
    platform::Ownership owner;                // and its owner and mode
    int refused = 0;                          // the greeting's refusal; 0: it is answered
    std::optional<helper::Refusal> refusal = {};  // why the helper must not serve
    bool leftoversFinish = true;                  // false: a cut rewrite stays unfinished
};

// A greeting gives back a killed run's copy, the end of the link what was written, each with its
// owner and mode. A helper that must not serve, or whose greeting finds a cut rewrite it cannot
// finish (a torn file to give back over), says why and touches nothing.
TEST(HelperServer, GreetingAndEndGiveBackWithOwnerAndMode) {
    if (!privateNetwork) {
        GTEST_SKIP() << "needs root and a network namespace";
    }
    const std::string tessels = core::replaceModeText("ad.example\r\n");
    const Row rows[] = {
        {"a greeting gives back a killed run's copy", tessels, kRootOnly, false, kOriginal, kUsers},
        {"a copy the user could have changed is never given back", tessels,
         platform::Ownership{1000, 1000, 0600}, false, tessels, kRootOnly},
        {"the end of the link gives back what was written", kOriginal, std::nullopt, true,
         kOriginal, kUsers},
        {"another helper holds the lock", tessels, kRootOnly, true, tessels, kRootOnly, EWOULDBLOCK,
         helper::Refusal{EWOULDBLOCK, "busy"}},
        {"a cut rewrite left unfinished", tessels, kRootOnly, true, tessels, kRootOnly, EIO,
         std::nullopt, false},
    };
    for (const Row& row : rows) {
        MemoryFileSystem files;
        files.leftoversFinish = row.leftoversFinish;
        files.files[core::kSystemHostsPath] = row.hosts;
        files.owners[core::kSystemHostsPath] = row.kept ? kRootOnly : kUsers;
        if (row.kept) {
            (void)files.writeFile(
                core::kHelperSavedHostsPath,
                core::formatSavedHosts({core::kSystemHostsPath, true, kUsers.owner, kUsers.group,
                                        kUsers.mode, kOriginal}),
                *row.kept);
        }
        const int written = files.writes;
        core::Reply hello;
        bool wrote = true;
        {
            Link link(files, row.refusal);
            hello = link.reply(core::Request::hello());
            wrote = !row.write || !hello.ok() || link.call(core::Request::write(false, {"ad"}));
        }
        const auto owner = files.ownership(core::kSystemHostsPath).value_or(platform::Ownership{});
        const bool answered = row.refused == 0
                                  ? hello.ok() && wrote
                                  : hello.failure == core::Failure::Refused &&
                                        hello.number == row.refused && files.writes == written;
        EXPECT_TRUE(answered && files.files[core::kSystemHostsPath] == row.after &&
                    owner.owner == row.owner.owner && owner.group == row.owner.group &&
                    owner.mode == row.owner.mode)
            << row.what << ": " << hello.text << "\n"
            << files.files[core::kSystemHostsPath];
    }
}

// Only /etc/hosts and its kept copy: every other path is refused, and the copy is root's only.
TEST(HelperServer, ConfinedFilesTouchOnlyTheHostsFileAndItsCopy) {
    MemoryFileSystem memory;
    memory.files["/etc/shadow"] = "root:x";
    helper::ConfinedFiles files(memory, core::kSystemHostsPath, core::kHelperSavedHostsPath);
    const bool refused = !files.writeFile("/etc/shadow", "member::0").ok() &&
                         !files.readFile("/etc/shadow").ok() &&
                         !files.removeFile("/etc/shadow").ok() &&
                         !files.writeFile("/etc/hosts.d/x", "x", kUsers).ok();
    const bool written = files.writeFile(core::kHelperSavedHostsPath, "copy").ok() &&
                         files.writeFile(core::kSystemHostsPath, "new").ok();
    const auto copy = memory.ownership(core::kHelperSavedHostsPath).value_or(platform::Ownership{});
    const auto made = memory.ownership(core::kSystemHostsPath).value_or(platform::Ownership{});
    EXPECT_TRUE(refused && written && memory.files["/etc/shadow"] == "root:x");
    EXPECT_TRUE(copy.owner == 0 && copy.mode == 0600 && made.owner == 0 && made.mode == 0644);
}

class DeadHelper final : public platform::HelperLink {
public:
    core::Reply call(const core::Request&, int*) override {
        return {core::Failure::LinkLost, 0, 0, "Error talking to tessel-helper: it ended"};
    }
};

// Resume asks a helper that has died for the port: the error ends the program.
TEST(Helper, ADeadHelperEndsTheProgram) {
    DeadHelper helper;
    const auto socket = app::socketsFromHelper(helper)(80);
    const auto* error = std::get_if<platform::ListenError>(&socket);
    EXPECT_TRUE(error != nullptr && error->ends && error->description.ends_with("it ended"));
}

}  // namespace
}  // namespace tessel::fakes

// The namespace is entered before any thread starts.
int main(int argc, char** argv) {
    tessel::fakes::privateNetwork =
        ::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0 && std::system("ip link set lo up") == 0;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
