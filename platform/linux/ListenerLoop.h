#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/NameTally.h"

namespace tessel::platform {

// The listener's own thread: a bare epoll loop over the listening sockets and their connections,
// free of Qt, so a browser is answered at once whatever the window's thread is doing.
//
// Its owner talks to it in two ways only. Commands (open or shut a port, close everything, a new
// reply, exit) go through one slot and an eventfd; the owner waits for each to be acknowledged, so
// when a call returns the loop has carried it out: no connection is answered after close()
// returns, and the next connection gets the reply just set. Counts come back as an atomic the
// loop adds to, with one wake-up through a second eventfd until the owner has taken them
// (takeServed), never a message per connection. The names the connections asked for come back
// the same way, counted in one of two tallies handed to and fro: the loop fills one while the
// owner reads the other (takeNames) and gives it back emptied (returnNames).
class ListenerLoop final {
public:
    struct Limits {
        std::chrono::milliseconds silentTimeout{10'000};  // a peer that sends nothing is dropped
        std::size_t maxConnections = 4096;                // the oldest is dropped beyond this
    };
    enum Door : std::size_t { kReplying, kCountOnly };

    // Starts the thread; nothing, with the system's error number in `error`, when it cannot.
    static std::unique_ptr<ListenerLoop> start(Limits limits, int& error);
    ~ListenerLoop();
    ListenerLoop(const ListenerLoop&) = delete;
    ListenerLoop& operator=(const ListenerLoop&) = delete;

    // Accepts on `fd`, a nonblocking listening socket the loop then owns, through `door`.
    void open(Door door, int fd);
    // Stops listening on `door`: the socket is shut down, so nothing waits on it, and closed.
    void shut(Door door);
    // Both doors and every open connection; none of them is counted.
    void close();
    // What every connection accepted from now on is sent.
    void setReply(std::shared_ptr<const std::string> reply);

    std::size_t openConnections() const { return open_.load(std::memory_order_acquire); }
    // Readable while connections served wait to be taken.
    int servedEvent() const { return servedEvent_; }
    // The connections served since the last call.
    std::uint64_t takeServed();
    // The names counted since the tally was last taken, or null; to be given back once read.
    core::NameTally* takeNames();
    void returnNames(core::NameTally* names);

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    struct Command;
    enum class Drained { Nothing, Data, Closed };

    ListenerLoop(Limits limits, int epoll, int timer, std::array<int, 3> events);
    void call(Command command);
    void run();
    void runCommand();
    void dispatch(std::uint64_t tag, std::uint32_t ready);
    void shutDoor(Door door);
    void closeAll();
    void acceptPending(Door door);
    void admit(int fd, Door door);
    void send(int fd);
    void readOrWatch(int fd);
    void serve(int fd);
    Drained drain(int fd, std::size_t limit);
    void flush(int fd);
    void watch(int fd, std::uint32_t interest);
    void finish(int fd, bool served);
    void drop(int fd);
    void nameFrom(int fd, std::string_view firstBytes);
    void offerNames();
    void wakeOwner();
    void setAccepting(bool on);
    void expireSilent();
    void armTimer();
    bool isCurrent(int fd, std::uint32_t generation) const;
    std::uint32_t nextGeneration();

    // Shared with the owner's thread.
    const Limits limits_;
    const int epoll_;
    const int timer_;
    const int commandEvent_;
    const int ackEvent_;
    const int servedEvent_;
    std::unique_ptr<Command> command_;  // written by the owner before `posted_`, read after it
    std::atomic<std::uint64_t> posted_{0};
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::size_t> open_{0};
    std::atomic<std::uint64_t> served_{0};
    std::atomic<bool> wakePending_{false};
    std::array<core::NameTally, 2> tallies_;
    std::atomic<core::NameTally*> full_{nullptr};   // handed over, not yet taken
    std::atomic<core::NameTally*> spare_{&tallies_[1]};  // given back empty, not yet filled
    std::atomic<bool> namesWaiting_{false};         // the loop holds names it could not hand over

    // The loop's own.
    std::shared_ptr<const std::string> reply_;
    core::NameTally* filling_ = &tallies_[0];
    std::array<int, 2> doors_{-1, -1};
    // Indexed by descriptor; slots are reused, never freed, so accepting allocates nothing once
    // the table has grown to the busiest moment.
    std::vector<Connection> byFd_;
    // Open connections in accept order, linked through byFd_: the head is the first to time out
    // and the first to go when the bound is reached, and closing unlinks in constant time.
    int oldest_ = -1;
    int newest_ = -1;
    std::uint32_t generation_ = 0;
    Clock::time_point now_{};  // read once per batch of events
    bool paused_ = false;
    Clock::time_point resumeAt_{};
    bool armed_ = false;
    Clock::time_point armedFor_{};
    bool exiting_ = false;
    std::vector<char> scratch_;
    std::thread thread_;  // last: it starts once everything above is set
};

}  // namespace tessel::platform
